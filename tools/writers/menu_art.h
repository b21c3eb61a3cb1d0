#pragma once
// The menus' pictures in our own design: the main menu's background, hot-spot runes, animation
// strip, quit box and account dialog; the character screen's statue, portraits, buttons, tabs,
// profession pictures and delete box; and menu.dat with the eight lists' first options.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/writers/menu_scene.h"

// Boxes the main menu's background draws, in pixels of the 800 x 600 screen.
struct ArtBox {
    int left, top, width, height;
};
// The statues' panel: right of the Credits label and wide enough for a statue's two label lines.
inline constexpr ArtBox kStatuePanel{438, 284, 296, 316};
// The figure stage's frame: its top runs a little inside the stage, below the Credits label.
inline constexpr ArtBox kStageFrame{kMenuStageLeft, kMenuStageTop + 8, kMenuStageWidth, kMenuStageHeight - 8};
// Rows of a statue's 86 x 86 rune cell left clear: its name and level labels stand there.
inline constexpr int kStatueLabelTop = 22, kStatueLabelBottom = 61;

struct ArtFile {
    std::string name;  // relative to the installation, '/' separated
    std::vector<uint8_t> bytes;
};

// Every picture above, each a 256-colour PCX.
std::vector<ArtFile> MenuArtFiles();
// menu.dat: [section] item%d = 0 for every item of the eight lists.
std::string MenuDatText();
