#pragma once
// Writes TGA files the engine's image reader takes: colour-mapped, true-colour and grey images,
// plain or run-length encoded, bottom-up (the usual order) or top-down.

#include <cstdint>
#include <vector>

struct TgaImage {
    int width = 0;
    int height = 0;
    int imageType = 2;     // 1 colour-mapped, 2 true colour, 3 grey; add 8 for run-length
    int pixelDepth = 24;   // 8, 15, 16, 24 or 32; colour-mapped: 8 or 16 (the index width)
    int mapEntryBits = 24; // colour-mapped: 15, 16, 24 or 32
    int mapFirst = 0;      // the index of the map's first entry
    bool topDown = false;
    // Top row first, one value a pixel: 0xAARRGGBB for true colour, the grey level for grey,
    // the colour-map index for colour-mapped images.
    std::vector<uint32_t> pixels;
    // Colour-mapped: 0xAARRGGBB per entry, for indices mapFirst and up.
    std::vector<uint32_t> colorMap;
};

std::vector<uint8_t> BuildTga(const TgaImage& image);
