#pragma once
// The menus' pictures in our own design: the main menu's background, hot-spot runes, animation
// strip, quit box and account dialog; the character screen's statue, portraits, buttons, tabs,
// profession pictures and delete box; and menu.dat with the eight lists' first options.

#include <cstdint>
#include <string>
#include <vector>

struct ArtFile {
    std::string name;  // relative to the installation, '/' separated
    std::vector<uint8_t> bytes;
};

// Every picture above, each a 256-colour PCX.
std::vector<ArtFile> MenuArtFiles();
// menu.dat: [section] item%d = 0 for every item of the eight lists.
std::string MenuDatText();
