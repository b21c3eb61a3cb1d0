#pragma once
// Writes uncompressed BMP files the engine's image reader takes: 4- and 8-bit palettised, 24-bit
// and 32-bit, bottom-up (the usual order) or top-down, rows padded to 4 bytes.

#include <cstdint>
#include <vector>

struct BmpImage {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 24;  // 4, 8, 24 or 32
    bool topDown = false;
    // Top row first. 4 and 8 bits: one palette index a pixel; 24 bits: red, green, blue; 32
    // bits: red, green, blue, alpha.
    std::vector<uint8_t> pixels;
    // Palettised: red, green, blue per entry (at most 256; 4 bits uses the first 16).
    std::vector<uint8_t> palette;
};

std::vector<uint8_t> BuildBmp(const BmpImage& image);
