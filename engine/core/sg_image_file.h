#pragma once
// The image-file reader: turns a BMP, TGA or SGI file, or an sgf file holding one raw image, into
// an SgRawImageData, choosing the format by the file name's extension. Files are untrusted: every
// size, offset, index and run is checked, and a refused file returns false (the raw image may
// then be resized and partly filled).

#include <cstddef>
#include <cstdint>

class SgRawImageData;

// A leading "file://" is skipped; the extension (from the last '.', any case) picks the reader:
// ".sgf", ".bmp", ".tga", or ".rgb", ".rgba", ".int", ".inta" (SGI).
bool ReadImageFile(const char* fileName, SgRawImageData* raw);

// The readers on a file's bytes.
// Palettised for 4 and 8 bits, RGB for 24, RGBA for 32 (pixels in red, green, blue order).
bool ReadBmpImage(const uint8_t* data, size_t size, SgRawImageData& raw);
// RGBA for a pixel depth of 32, else RGB; types 1, 2, 3 and their run-length forms 9, 10, 11.
bool ReadTgaImage(const uint8_t* data, size_t size, SgRawImageData& raw);
// RGBA with 2 or more than 3 planes, else RGB; verbatim or run-length, 8 or 16 bits a value.
bool ReadSgiImage(const uint8_t* data, size_t size, SgRawImageData& raw);
// An sgf file whose only top-level object is an SgRawImageData.
bool ReadSgfImage(const uint8_t* data, size_t size, SgRawImageData& raw);
