#pragma once
// Writes uncompressed BMP files the engine's image reader takes: 4- and 8-bit palettised, 24-bit
// and 32-bit, bottom-up (the usual order) or top-down, rows padded to 4 bytes.

#include <array>
#include <cstddef>
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

// A 24-bit picture whose pixel at (x, y), top row first, is colour(x, y) as red, green, blue.
template <typename Colour>
std::vector<uint8_t> BuildRgbBmp(int width, int height, Colour colour) {
    BmpImage b;
    b.width = width;
    b.height = height;
    b.pixels.reserve(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::array<uint8_t, 3> rgb = colour(x, y);
            b.pixels.insert(b.pixels.end(), rgb.begin(), rgb.end());
        }
    return BuildBmp(b);
}
