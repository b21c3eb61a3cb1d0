#include "tools/writers/driver_art.h"

#include <cmath>

#include "tools/writers/art_canvas.h"
#include "tools/writers/menu_art.h"
#include "tools/writers/menu_scene.h"

using namespace artcanvas;

namespace {

constexpr int kW = 800, kH = 600;

// An 800 x 600 stone hall in its gold frame.
Canvas Hall() {
    Canvas c(kW, kH, kInk);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            c.Set(x, y, static_cast<uint8_t>(kStone + 2 + (kW - x + kH - y) * 8 / (kW + kH) + Grain(x, y)));
    c.Frame(0, 0, kW, kH, kGold + 10, 4);
    return c;
}

// A splash screen: a title and a line beneath it.
Canvas Screen(const std::string& title, const std::string& line) {
    Canvas c = Hall();
    c.Centred(kW / 2, 120, title, kGold + 15, 5);
    c.Centred(kW / 2, 180, line, kParchment + 12, 2);
    return c;
}

// A screen's background: its name small in the bottom edge, out of the screen's own drawing,
// ending at right.
Canvas LabelledBackground(const std::string& label, int right) {
    Canvas c = Hall();
    c.Text(right - c.TextWidth(label, 1), kH - 16, label, kGold + 6, 1);
    return c;
}

// frames of size x size side by side: a gold disc circling.
Canvas Strip(int frames, int size, uint8_t colour) {
    Canvas c(frames * size, size, kClear);
    for (int f = 0; f < frames; ++f) {
        const double a = 6.2831853 * f / frames;
        const int cx = f * size + size / 2 + static_cast<int>(std::lround(std::cos(a) * size / 3));
        const int cy = size / 2 + static_cast<int>(std::lround(std::sin(a) * size / 3));
        c.Disc(cx, cy, size / 8, colour);
    }
    return c;
}

// A hand and forearm rising from the bottom edge; transparent around it.
Canvas Hand(int pose) {
    constexpr int w = 200, h = 160;
    Canvas c(w, h, kClear);
    const int palm = 70 + pose * 6;
    for (int y = 0; y < h; ++y) {
        const int half = y < palm ? 0 : 34 + (y - palm) / 6;
        for (int x = w / 2 - half; x < w / 2 + half; ++x)
            c.Set(x, y, static_cast<uint8_t>(kParchment + 4 + (x * 7 / w)));
    }
    for (int f = 0; f < 4; ++f) {
        const int x = w / 2 - 30 + f * 17;
        const int top = palm - 50 + (f == 0 || f == 3 ? 12 : 0) + pose * 4 * (f & 1);
        c.Fill(x, top, 12, palm - top + 4, static_cast<uint8_t>(kParchment + 6 + f));
    }
    c.Disc(w / 2, palm + 10, 10, kBlue + 12 - pose);
    return c;
}

}  // namespace

std::vector<ArtFile> DriverArtFiles() {
    std::vector<ArtFile> files = {
        {"company.pcx", Screen("QUORRIN WORKS", "presents").Pcx()},
        {"companyanim.pcx", Strip(16, 64, kGold + 14).Pcx()},
        {"company2.pcx", Screen("SECOND HOUSE", "with the help of").Pcx()},
        {"company3.pcx", Screen("THIRD HOUSE", "and the guild of mages").Pcx()},
        {"logo.pcx", Screen("QUORRIN", "a game of mages").Pcx()},
        {"logoanim.pcx", Strip(7, 96, kBlue + 14).Pcx()},
        {"credits.pcx", Screen("CREDITS", "made by the Quorrin team").Pcx()},
    };
    struct Background {
        const char* file;
        const char* label;
    } backgrounds[] = {
        {"gameback.pcx", "ARENA"},         {"chatback.pcx", "TAVERN"},   {"kbdcfgback.pcx", "SETUP"},
        {"summaryback.pcx", "MATCH OVER"}, {"charback.pcx", "CHARACTER"}, {"chaosback.pcx", "DRAGON"},
        {"orderback.pcx", "GRYPHON"},      {"balanceback.pcx", "PHOENIX"},
    };
    for (const Background& b : backgrounds) {
        // The Tavern's tabs take the right edge down to the bottom (from x 712); its chat line
        // the bottom row up to x 660.
        const bool tavern = std::string(b.file) == "chatback.pcx";
        Canvas c = LabelledBackground(b.label, tavern ? 706 : kW - 12);
        // The after-match view and the character screen show the player's figure on the menu's
        // stage: framed as there.
        if (std::string(b.file) == "summaryback.pcx" || std::string(b.file) == "charback.pcx")
            c.Frame(kStageFrame.left, kStageFrame.top, kStageFrame.width, kStageFrame.height, kGold + 6, 2);
        files.push_back({b.file, c.Pcx()});
    }
    for (int pose = 0; pose < 4; ++pose)
        files.push_back({"overlays/hands" + std::to_string(pose) + ".pcx", Hand(pose).Pcx()});
    return files;
}

std::string BriefDatText() {
    return "; what the small map and the after-match view tell\n"
           "[briefing]\n"
           "01=Hold the hall against the other teams.\n"
           "02=Shrines give your team its power; guard yours.\n"
           "03=\n"
           "04=Press Escape to leave this page.\n"
           "[victory]\n"
           "01=Your team holds the hall.\n"
           "[failure]\n"
           "01=The hall is lost.\n";
}

std::string HelpFileText() {
    return "Quorrin help\n"
           "\n"
           "Arrows or the bound keys walk and turn; the mouse looks around.\n"
           "Space jumps, Ctrl casts the readied spell, the action key opens doors.\n"
           "The quote key opens the chat line; Escape leaves a screen.\n";
}
