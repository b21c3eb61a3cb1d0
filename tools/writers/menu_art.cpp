#include "tools/writers/menu_art.h"

#include <algorithm>
#include <cstring>

#include "tools/writers/art_canvas.h"
#include "tools/writers/menu_scene.h"

namespace {

using namespace artcanvas;

std::vector<uint8_t> MainBackground() {
    Canvas c(800, 600);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const int block = ((x / 100) + (y / 75)) & 1;
            c.Set(x, y, static_cast<uint8_t>(kStone + 2 + (800 - x + 600 - y) * 16 / 1400 + block * 3 + Grain(x, y)));
        }
    c.Frame(0, 0, 800, 600, kGold + 10, 4);
    c.Centred(400, 24, "QUORRIN", kGold + 15, 4);
    // The statues' plinth on the right, the figure's stage in the middle; the screen's frame stays
    // whole over the plinth's foot.
    const ArtBox& p = kStatuePanel;
    c.Fill(p.left, p.top, p.width, p.height, kStone + 4);
    c.Frame(p.left, p.top, p.width, p.height, kGold + 6, 2);
    c.Frame(0, 0, 800, 600, kGold + 10, 4);
    c.Frame(kStageFrame.left, kStageFrame.top, kStageFrame.width, kStageFrame.height, kGold + 6, 2);
    return c.Pcx();
}

// The hot-spot rows of the four statues.
constexpr int kFirstStatueRow = 2;

// A statue's rune keeps out of the rows its labels take: a small crest above them and a plinth
// with the rune mark below.
void StatueRune(Canvas& c, int x, int y, int row, uint8_t rim, uint8_t fill) {
    c.Disc(x + 43, y + 11, 10, rim);
    c.Disc(x + 43, y + 11, 7, fill);
    // The lowest statue's plinth ends above the screen's frame.
    const int top = y + kStatueLabelBottom + 2, height = 81 - kStatueLabelBottom - 2;
    c.Fill(x + 10, top, 66, height, rim);
    c.Fill(x + 13, top + 3, 60, height - 6, fill);
    for (int k = 0; k < 3; ++k) {
        const int a = (row * 7 + k * 5) % 11 - 5;
        for (int t = -5; t <= 5; ++t)
            c.Fill(x + 43 + t * a / 3 + (k - 1) * 12, top + height / 2 + t, 2, 1, static_cast<uint8_t>(kParchment + 12));
    }
}

// 4 state columns (normal, selected, hovered, spare) by 12 entry rows of 86 x 86 runes.
std::vector<uint8_t> Runes() {
    constexpr int kCell = 86;
    Canvas c(4 * kCell, 12 * kCell);
    const uint8_t rims[4] = {kGold + 6, kGreen + 14, kGold + 15, kBlue + 10};
    for (int row = 0; row < 12; ++row)
        for (int col = 0; col < 4; ++col) {
            const int x = col * kCell, y = row * kCell;
            if (row >= kFirstStatueRow && row < kFirstStatueRow + 4) {
                StatueRune(c, x, y, row, rims[col], static_cast<uint8_t>(kStone + 10 + col * 4));
                continue;
            }
            c.Disc(x + 43, y + 43, 38, rims[col]);
            c.Disc(x + 43, y + 43, 33, static_cast<uint8_t>(kStone + 10 + col * 4));
            // A rune: a stroke pattern of its own for each entry.
            for (int k = 0; k < 3; ++k) {
                const int a = (row * 7 + k * 5) % 11 - 5;
                for (int t = -18; t <= 18; ++t)
                    c.Fill(x + 43 + t * a / 6 + (k - 1) * 8, y + 43 + t, 2, 1, static_cast<uint8_t>(kParchment + 12));
            }
        }
    return c.Pcx();
}

std::vector<uint8_t> Strip() {
    Canvas c(5 * 64, 64);
    for (int f = 0; f < 5; ++f) {
        c.Disc(f * 64 + 32, 32, 26, kBlue + 4);
        c.Disc(f * 64 + 32 + (f - 2) * 6, 32 - (f % 2) * 6, 10, static_cast<uint8_t>(kBlue + 11 + f));
    }
    return c.Pcx();
}

// A two-item box: its title, then items at y 28..50 and 51..72.
std::vector<uint8_t> TwoItemBox(const std::string& title, const std::string& upper, const std::string& lower,
                                bool highlight) {
    Canvas c(220, 80);
    c.Panel(0, 0, 220, 80);
    c.Centred(110, 9, title, kGold + 15);
    const uint8_t ink = highlight ? kGold + 15 : kParchment + 14;
    if (highlight) {
        c.Fill(6, 29, 208, 21, kStone + 20);
        c.Fill(6, 52, 208, 20, kStone + 20);
    }
    c.Centred(110, 35, upper, ink);
    c.Centred(110, 58, lower, ink);
    return c.Pcx();
}

std::vector<uint8_t> Dialog() {
    Canvas c(320, 145);
    c.Panel(0, 0, 320, 145);
    c.Text(12, 20, "Account", kGold + 15);
    c.Text(12, 53, "Password", kGold + 15);
    c.Fill(74, 9, 221, 31, kInk);
    c.Frame(74, 9, 221, 31, kGold + 6);
    c.Fill(74, 42, 221, 31, kInk);
    c.Frame(74, 42, 221, 31, kGold + 6);
    c.Text(110, 87, "Remember me", kParchment + 14);
    c.Fill(225, 77, 25, 27, kInk);
    c.Frame(225, 77, 25, 27, kGold + 6);
    c.Fill(78, 108, 52, 28, kStone + 18);
    c.Frame(78, 108, 52, 28, kGold + 10);
    c.Centred(104, 118, "Connect", kGold + 15);
    c.Fill(158, 108, 94, 28, kStone + 18);
    c.Frame(158, 108, 94, 28, kGold + 10);
    c.Centred(205, 118, "Cancel", kGold + 15);
    return c.Pcx();
}

std::vector<uint8_t> LargeStatue() {
    Canvas c(160, 240);
    c.Fill(30, 200, 100, 40, kStone + 16);
    c.Fill(55, 70, 50, 130, kStone + 22);
    c.Disc(80, 45, 28, kStone + 26);
    c.Frame(30, 200, 100, 40, kGold + 8, 2);
    return c.Pcx();
}

// Six 90 x 90 portraits side by side.
std::vector<uint8_t> Portraits() {
    Canvas c(6 * 90, 90);
    for (int n = 0; n < 6; ++n) {
        const int x = n * 90;
        c.Fill(x, 0, 90, 90, static_cast<uint8_t>(kStone + 8 + n * 2));
        c.Frame(x, 0, 90, 90, kGold + 8, 2);
        c.Disc(x + 45, 38, 20, static_cast<uint8_t>(kParchment + 4 + n));
        c.Fill(x + 20, 62, 50, 26, static_cast<uint8_t>((n % 3 == 0 ? kRed : n % 3 == 1 ? kGreen : kBlue) + 8));
    }
    return c.Pcx();
}

// A sheet of labelled buttons in rows: each label a 120 x 28 button, normal and pressed side by side.
std::vector<uint8_t> Buttons(const std::vector<std::string>& labels) {
    Canvas c(240, 28 * static_cast<int>(labels.size()));
    for (size_t n = 0; n < labels.size(); ++n)
        for (int state = 0; state < 2; ++state) {
            const int x = state * 120, y = static_cast<int>(n) * 28;
            c.Fill(x, y, 120, 28, static_cast<uint8_t>(kStone + (state ? 22 : 14)));
            c.Frame(x, y, 120, 28, static_cast<uint8_t>(kGold + (state ? 15 : 8)), 2);
            c.Centred(x + 60, y + 10, labels[n], static_cast<uint8_t>(state ? kGold + 15 : kParchment + 14));
        }
    return c.Pcx();
}

// The two page tabs, normal and chosen.
std::vector<uint8_t> Tabs() {
    Canvas c(200, 64);
    const char* names[2] = {"Spells", "Statistics"};
    for (int t = 0; t < 2; ++t)
        for (int state = 0; state < 2; ++state) {
            const int x = t * 100, y = state * 32;
            c.Fill(x, y, 100, 32, static_cast<uint8_t>(kStone + (state ? 24 : 12)));
            c.Frame(x, y, 100, 32, kGold + 10, 2);
            c.Centred(x + 50, y + 12, names[t], kParchment + 15);
        }
    return c.Pcx();
}

// The four professions' pictures (2 states by 4 professions), 100 x 100 each.
std::vector<uint8_t> ProfessionPictures() {
    Canvas c(200, 400);
    const char* names[4] = {"Magician", "Runemage", "Mystic", "Healer"};
    const uint8_t colours[4] = {kBlue, kRed, kGold, kGreen};
    for (int p = 0; p < 4; ++p)
        for (int state = 0; state < 2; ++state) {
            const int x = state * 100, y = p * 100;
            c.Fill(x, y, 100, 100, static_cast<uint8_t>(kStone + (state ? 20 : 10)));
            c.Frame(x, y, 100, 100, static_cast<uint8_t>(kGold + (state ? 15 : 6)), 3);
            c.Disc(x + 50, y + 42, 26, static_cast<uint8_t>(colours[p] + (state ? 14 : 8)));
            c.Centred(x + 50, y + 80, names[p], kParchment + 15);
        }
    return c.Pcx();
}

}  // namespace

std::vector<ArtFile> MenuArtFiles() {
    return {
        {"main.pcx", MainBackground()},
        {"runes.pcx", Runes()},
        {"quorrsm.pcx", Strip()},
        {"qmage0.pcx", TwoItemBox("Leave the game?", "Quit Game", "Return", false)},
        {"qmage1.pcx", TwoItemBox("Leave the game?", "Quit Game", "Return", true)},
        {"qmatch0.pcx", TwoItemBox("Leave the match?", "Leave", "Play On", false)},
        {"qmatch1.pcx", TwoItemBox("Leave the match?", "Leave", "Play On", true)},
        {"delete0.pcx", TwoItemBox("Delete this character?", "Delete", "Keep", false)},
        {"delete1.pcx", TwoItemBox("Delete this character?", "Delete", "Keep", true)},
        {"dialog.pcx", Dialog()},
        {"statues/large.pcx", LargeStatue()},
        {"charport.pcx", Portraits()},
        {"charbtns.pcx", Buttons({"Ready Spell", "Clear Spell", "Select 1-5", "Select 6-0", "Delete", "Save", "Exit"})},
        {"charbtn2.pcx", Buttons({"Next", "Cancel", "Male", "Female", "Next Image", "Previous Image", "Next Head",
                                  "Previous Head", "Research List"})},
        {"chartabs.pcx", Tabs()},
        {"profbtns.pcx", ProfessionPictures()},
    };
}

std::string MenuDatText() {
    struct List {
        const char* section;
        int items;
    } lists[] = {{"sgeneral", 5}, {"mgeneral", 6}, {"multi-user", 3}, {"game", 7},
                 {"configure", 4}, {"arena", 3}, {"character", 3}, {"account", 3}};
    std::string text = "; the menus' first options\n";
    for (const List& l : lists) {
        text += "[" + std::string(l.section) + "]\n";
        for (int n = 0; n < l.items; ++n)
            text += "item" + std::to_string(n) + "=0\n";
    }
    return text;
}
