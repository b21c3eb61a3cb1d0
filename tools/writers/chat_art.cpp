#include "tools/writers/chat_art.h"

#include <string>

#include "tools/writers/art_canvas.h"

namespace {

using namespace artcanvas;

// Cells stack items down and states across, as the cell drawing reads them.
std::vector<uint8_t> TeamPanels() {
    constexpr int kW = 86, kH = 100;
    Canvas c(3 * kW, 3 * kH);
    const uint8_t colours[3] = {kRed, kGreen, kBlue};
    const char* names[3] = {"Dragon", "Gryphon", "Phoenix"};
    for (int team = 0; team < 3; ++team)
        for (int state = 0; state < 3; ++state) {
            const int x = state * kW, y = team * kH;
            const int shade = state == 1 ? 12 : state == 2 ? 2 : 7;
            c.Fill(x + 1, y + 1, kW - 2, kH - 2, static_cast<uint8_t>(colours[team] + shade));
            c.Frame(x + 1, y + 1, kW - 2, kH - 2, static_cast<uint8_t>(state == 1 ? kGold + 15 : kGold + 5), 2);
            c.Disc(x + kW / 2, y + 44, 24, static_cast<uint8_t>(colours[team] + (state == 2 ? 4 : 14)));
            c.Centred(x + kW / 2, y + 80, names[team], static_cast<uint8_t>(state == 2 ? kStone + 12 : kParchment + 15));
        }
    return c.Pcx();
}

std::vector<uint8_t> LobbyButtons() {
    constexpr int kW = 70, kH = 32;
    const char* labels[12] = {"Details", "Claim", "Start", "Sit",    "Enter", "Back",
                              "Join",    "Leave", "Create", "Cancel", "Help",  "Exit"};
    Canvas c(2 * kW, 12 * kH);
    for (int n = 0; n < 12; ++n)
        for (int state = 0; state < 2; ++state) {
            const int x = state * kW, y = n * kH;
            c.Fill(x + 1, y + 1, kW - 2, kH - 2, static_cast<uint8_t>(kStone + (state ? 22 : 12)));
            c.Frame(x + 1, y + 1, kW - 2, kH - 2, static_cast<uint8_t>(kGold + (state ? 15 : 8)), 2);
            c.Centred(x + kW / 2, y + 12, labels[n], static_cast<uint8_t>(state ? kGold + 15 : kParchment + 14));
        }
    return c.Pcx();
}

std::vector<uint8_t> Tabs() {
    constexpr int kW = 88, kH = 100;
    Canvas c(4 * kW, 4 * kH);
    const uint8_t fills[4] = {kStone + 10, kStone + 24, kStone + 18, kStone + 6};
    for (int tab = 0; tab < 4; ++tab)
        for (int state = 0; state < 4; ++state) {
            const int x = state * kW, y = tab * kH;
            c.Panel(x + 2, y + 2, kW - 4, kH - 4);
            c.Fill(x + 8, y + 8, kW - 16, 60, fills[state]);
            c.Frame(x + 8, y + 8, kW - 16, 60, static_cast<uint8_t>(state == 1 ? kGold + 15 : kGold + 6), 1);
            // A sign of the tab: crossed blades, a table, a banner, a door.
            const uint8_t ink = static_cast<uint8_t>(state == 1 ? kGold + 15 : kParchment + 12);
            const int cx = x + kW / 2, cy = y + 38;
            if (tab == 0) {
                for (int t = -20; t <= 20; ++t) {
                    c.Fill(cx + t, cy + t / 2, 2, 2, ink);
                    c.Fill(cx + t, cy - t / 2, 2, 2, ink);
                }
            } else if (tab == 1) {
                c.Fill(cx - 24, cy - 4, 48, 6, ink);
                c.Fill(cx - 20, cy + 2, 4, 18, ink);
                c.Fill(cx + 16, cy + 2, 4, 18, ink);
            } else if (tab == 2) {
                c.Fill(cx - 2, cy - 24, 3, 48, ink);
                c.Fill(cx + 1, cy - 24, 22, 16, ink);
            } else {
                c.Frame(cx - 14, cy - 22, 28, 44, ink, 3);
                c.Disc(cx + 6, cy, 2, ink);
            }
        }
    return c.Pcx();
}

std::vector<uint8_t> Arrows() {
    constexpr int kS = 12;
    Canvas c(2 * kS, 4 * kS);
    for (int arrow = 0; arrow < 4; ++arrow)
        for (int state = 0; state < 2; ++state) {
            const uint8_t ink = static_cast<uint8_t>(state ? kGold + 15 : kGold + 8);
            const int x0 = state * kS, y0 = arrow * kS;
            for (int i = 0; i < 5; ++i) {
                const int len = 2 * (5 - i) - 1;
                switch (arrow) {
                    case 0: c.Fill(x0 + 3 + i, y0 + 6 - (len + 1) / 2 + 1, 1, len, ink); break;  // right
                    case 1: c.Fill(x0 + 8 - i, y0 + 6 - (len + 1) / 2 + 1, 1, len, ink); break;  // left
                    case 2: c.Fill(x0 + 6 - (len + 1) / 2 + 1, y0 + 8 - i, len, 1, ink); break;  // up
                    default: c.Fill(x0 + 6 - (len + 1) / 2 + 1, y0 + 3 + i, len, 1, ink); break;  // down
                }
            }
        }
    return c.Pcx();
}

}  // namespace

std::vector<ArtFile> ChatArtFiles() {
    return {
        {"chattms.pcx", TeamPanels()},
        {"chatbtns.pcx", LobbyButtons()},
        {"chattabs.pcx", Tabs()},
        {"arrwbtns.pcx", Arrows()},
    };
}
