#pragma once
// Writes 256-colour PCX pictures as the client reads them: version 5, one 8-bit plane, lines of
// exactly width bytes, run-length encoded line by line, and the palette in the last 768 bytes
// behind the usual 0x0C marker.

#include <cstdint>
#include <vector>

// pixels holds width x height palette indices, top row first; palette 256 x red, green, blue.
std::vector<uint8_t> BuildPcx(int width, int height, const uint8_t* pixels, const uint8_t* palette);
