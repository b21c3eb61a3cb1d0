#pragma once
// Font files of the game in our glyph design: bitmap fonts (height x 256 bytes, one byte a row,
// the top bit leftmost) and PCX fonts (a strip of glyphs separated by empty columns, stacked in
// colour variants; a full font holds 33..131 after blank columns that make the space, a numeric
// font the digits).

#include <cstdint>
#include <string>
#include <vector>

// Rows are stretched from the 8-row design (16 rows: every row twice).
std::vector<uint8_t> BuildBitmapFont(int height);

struct FontColour {
    uint8_t red, green, blue;
};

struct PcxFontSpec {
    bool numeric = false;
    std::vector<FontColour> variants{{255, 255, 255}};
    int spaceWidth = 4;  // blank columns before "!" less one
    int scale = 1;       // 2 doubles every pixel
    bool shadow = false; // a dark pixel below and right of every ink pixel
    int leading = 0;     // blank rows above and below the glyphs: the font's line spacing
    bool narrowDigits = false;  // digits four columns wide
    // Character 127, a list's selection marker, as a solid arrow in this colour in every variant.
    bool markerArrow = false;
    FontColour markerColour{255, 255, 255};
};

std::vector<uint8_t> BuildPcxFont(const PcxFontSpec& spec);

// The sample installation's ten fonts: main.dat's [fonts] section and the files under fonts/.
// 0 and 8 bitmap (8 and 16 rows); 3, 4, 7, 9 bitmap of widths 6, 7, 9 (size 2) and 10; 1 and 6
// full PCX fonts with four colour variants and extra spacing (1 with narrow digits for the
// Tavern's columns, 6 with line spacing and an arrow marker for the Setup lists), 5 a large full
// PCX font, 2 the digits. Each full font has the icons at 128..131.
std::string SampleFontsSection();
struct FontFile {
    std::string name;  // under fonts/
    std::vector<uint8_t> bytes;
};
std::vector<FontFile> SampleFontFiles();
