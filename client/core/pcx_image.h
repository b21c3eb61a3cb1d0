#pragma once
// 256-colour PCX pictures: a 128-byte header, run-length encoded 8-bit pixels of one plane (no
// padding at line ends, runs may cross lines) and a 768-byte palette in the last 768 bytes.
// Every 2D picture of the client is one; screens load them when they open and free them when they
// close, and turn them into 16-bit copies for the 16-bit screen.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "client/core/channel_bits.h"
#include "common/byte_reader.h"

constexpr size_t kPcxHeaderSize = 128;
constexpr size_t kPcxPaletteSize = 768;
constexpr size_t kPcxNameSize = 100;
constexpr size_t kPcxPoolSize = 100;
// Larger pictures than any screen or texture map are taken for damaged files.
constexpr int kPcxMaxDimension = 4096;

// Pixel homes of LoadPcx and ReadPcx.
enum PcxMode {
    PCX_HEAP = 0,    // a block of the image's own
    PCX_POOL = 1,    // the small shared pool
    PCX_SCREEN = 2,  // decoded as 16-bit pixels straight into the screen's back buffer
};

// Where mode 2 writes: the back buffer and the display's pixel format.
struct PcxScreenTarget {
    uint16_t* pixels = nullptr;
    int width = 0;  // pixels a row
    int height = 0;
    ChannelBits bits;
};

class PcxImage {
public:
    PcxImage();
    ~PcxImage() { FreePcx(); }
    PcxImage(const PcxImage&) = delete;
    PcxImage& operator=(const PcxImage&) = delete;

    // 0; -1 the file cannot be opened (or the stream has failed); -2 version not 5; -3 decoding
    // failed (no memory, pool too small, bad size, a palette that is not there, a picture that does
    // not fit the screen). Mode 2 needs a screen target.
    int LoadPcx(const char* fileName, int mode, int withPalette, const PcxScreenTarget* screen = nullptr);
    // The same from a stream: the picture starts at the reader's position and ends with it.
    int ReadPcx(ByteReader& stream, int mode, int withPalette, const PcxScreenTarget* screen = nullptr);
    // Replaces the 8-bit pixels by a 16-bit copy through the palette; pure white becomes 0xFFFF
    // whatever the format. 0, or -1 when there is no memory.
    int ConvertPcxToHicolor(const ChannelBits& bits);
    void FreePcx();

    int PcxWidth() const;
    int PcxHeight() const;
    void* PcxPixels() const { return pixels; }
    const uint8_t* Pixels8() const { return hicolor ? nullptr : static_cast<const uint8_t*>(pixels); }
    const uint16_t* Pixels16() const { return hicolor || pixelOrigin == PCX_SCREEN ? static_cast<const uint16_t*>(pixels) : nullptr; }

    uint32_t stamp = 0;
    int state = 0;  // 0 empty, 2 loaded
    char name[kPcxNameSize] = {};
    std::unique_ptr<uint8_t[]> extra;
    int pixelOrigin = PCX_HEAP;
    int hicolor = 0;
    int loaded = 0;
    void* pixels = nullptr;
    uint8_t header[kPcxHeaderSize] = {};
    std::unique_ptr<uint8_t[]> palette;  // 768 bytes or none

private:
    int Parse(ByteReader& in, int mode, int withPalette, const PcxScreenTarget* screen);
    int Decode(ByteReader& body, int mode, const PcxScreenTarget* screen);

    std::vector<uint8_t> own8_;
    std::vector<uint16_t> own16_;
};
