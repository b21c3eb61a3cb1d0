#pragma once
// Our glyph design for the sample fonts: characters 32..131 as 8 rows of 8 bits (the top bit the
// leftmost pixel), ink in the five leftmost columns. Other characters are blank.

#include <array>
#include <cstdint>

std::array<uint8_t, 8> GlyphRows(int c);
// Digits four columns wide, for columns of numbers in a small font.
std::array<uint8_t, 8> NarrowDigitRows(int c);
// A solid arrow pointing right: a list's selection marker, also a typing cursor.
std::array<uint8_t, 8> MarkerArrowRows();
