#include "client/core/pcx_image.h"

#include <cstring>
#include <new>

#include "client/core/error_log.h"
#include "client/core/game_file_bytes.h"
#include "common/text.h"
#include "platform/win/win.h"

namespace {

constexpr uint8_t kPcxVersion = 5;

// The shared pool of small pictures: taken from front to back, never given back.
struct PixelPool {
    uint8_t bytes[kPcxPoolSize] = {};
    size_t used = 0;
};

PixelPool& Pool() {
    static PixelPool pool;
    return pool;
}

// The game clock, in tenths of a millisecond.
uint32_t GameClockStamp() {
    return GetTickCount() * 10u;
}

void BuildColourTable(const uint8_t* palette, const ChannelBits& bits, bool whiteIsFull, uint16_t table[256]) {
    for (int i = 0; i < 256; ++i) {
        const uint8_t* c = palette + 3 * i;
        if (whiteIsFull && c[0] == 255 && c[1] == 255 && c[2] == 255)
            table[i] = 0xFFFF;
        else
            table[i] = PackPixel16(bits, c[0], c[1], c[2]);
    }
}

}  // namespace

PcxImage::PcxImage() {
    Pool();
    stamp = GameClockStamp();
}

int PcxImage::PcxWidth() const {
    return int16_t(header[8] | header[9] << 8) - int16_t(header[4] | header[5] << 8) + 1;
}

int PcxImage::PcxHeight() const {
    return int16_t(header[10] | header[11] << 8) - int16_t(header[6] | header[7] << 8) + 1;
}

int PcxImage::LoadPcx(const char* fileName, int mode, int withPalette, const PcxScreenTarget* screen) {
    if (loaded) {
        ErrorLogWrite("WARNING: PCX attempting to load '%s'.  Already initialized.\n", name);
        FreePcx();
    }
    std::vector<uint8_t> bytes;
    if (!fileName || !ReadGameFileBytes(fileName, bytes))
        return -1;
    CopyText(name, fileName);
    ByteReader in(bytes.data(), bytes.size());
    return Parse(in, mode, withPalette, screen);
}

int PcxImage::ReadPcx(ByteReader& stream, int mode, int withPalette, const PcxScreenTarget* screen) {
    if (loaded)
        FreePcx();
    if (!stream.Ok())
        return -1;
    ByteReader in(stream.Current(), stream.Remaining());
    return Parse(in, mode, withPalette, screen);
}

int PcxImage::Parse(ByteReader& in, int mode, int withPalette, const PcxScreenTarget* screen) {
    const size_t size = in.Remaining();
    if (size < 2 || in.Data()[1] != kPcxVersion)
        return -2;
    if (!in.Bytes(header, sizeof header))
        return -3;
    if (withPalette) {
        if (size < kPcxHeaderSize + kPcxPaletteSize)
            return -3;
        palette.reset(new (std::nothrow) uint8_t[kPcxPaletteSize]);
        if (!palette)
            return -3;
        std::memcpy(palette.get(), in.Data() + size - kPcxPaletteSize, kPcxPaletteSize);
    }
    int rc = Decode(in, mode, screen);
    if (rc != 0) {
        pixels = nullptr;
        own8_ = {};
        return -3;
    }
    stamp = GameClockStamp();
    state = 2;
    hicolor = 0;
    loaded = 1;
    return 0;
}

int PcxImage::Decode(ByteReader& body, int mode, const PcxScreenTarget* screen) {
    const int width = PcxWidth();
    const int height = PcxHeight();
    if (width < 1 || height < 1 || width > kPcxMaxDimension || height > kPcxMaxDimension)
        return -1;
    const size_t count = size_t(width) * size_t(height);

    uint16_t table[256] = {};
    uint8_t* out8 = nullptr;
    switch (mode) {
    case PCX_HEAP:
        try {
            own8_.assign(count, 0);
        } catch (const std::bad_alloc&) {
            return -1;
        }
        out8 = own8_.data();
        pixels = out8;
        break;
    case PCX_POOL: {
        PixelPool& pool = Pool();
        if (pool.used + count >= kPcxPoolSize)
            return -1;
        out8 = pool.bytes + pool.used;
        pool.used += count;
        pixels = out8;
        break;
    }
    case PCX_SCREEN:
        // The picture must fit the back buffer; its rows go at the buffer's own pitch.
        if (!screen || !screen->pixels || width > screen->width || height > screen->height)
            return -1;
        if (palette)
            BuildColourTable(palette.get(), screen->bits, false, table);
        pixels = screen->pixels;
        break;
    default:
        return -1;
    }
    pixelOrigin = mode;

    int run = 0;
    uint8_t value = 0;
    int x = 0;
    int y = 0;
    for (size_t i = 0; i < count; ++i) {
        if (run > 0) {
            --run;
        } else {
            if (body.AtEnd())
                break;
            uint8_t b = body.U8();
            if (b > 191) {
                if (body.AtEnd())
                    break;
                value = body.U8();
                int n = b & 63;
                run = n > 1 ? n - 1 : 0;
            } else {
                value = b;
            }
        }
        if (out8)
            out8[i] = value;
        else
            screen->pixels[size_t(y) * size_t(screen->width) + size_t(x)] = table[value];
        if (++x == width) {
            x = 0;
            ++y;
        }
    }
    return 0;
}

int PcxImage::ConvertPcxToHicolor(const ChannelBits& bits) {
    // Only an 8-bit picture of the image's own or of the pool can be converted; the back buffer
    // is 16-bit already.
    if (!pixels || !palette || hicolor || pixelOrigin == PCX_SCREEN)
        return 0;
    uint16_t table[256];
    BuildColourTable(palette.get(), bits, true, table);
    const size_t count = size_t(PcxWidth()) * size_t(PcxHeight());
    std::vector<uint16_t> wide;
    try {
        wide.resize(count);
    } catch (const std::bad_alloc&) {
        return -1;
    }
    const uint8_t* src = static_cast<const uint8_t*>(pixels);
    for (size_t i = 0; i < count; ++i)
        wide[i] = table[src[i]];
    own8_ = {};
    own16_ = std::move(wide);
    pixels = own16_.data();
    pixelOrigin = PCX_HEAP;
    hicolor = 1;
    ErrorLogWrite("Hicolor Conversion of %s: %d bytes\n", name, static_cast<int>(count * 2));
    return 0;
}

void PcxImage::FreePcx() {
    if (!loaded)
        return;
    if (pixels && pixelOrigin == PCX_HEAP) {
        if (hicolor)
            ErrorLogWrite("Hicolor Freed of '%s'\n", name);
    } else if (hicolor) {
        ErrorLogWrite("Attempt to Free PCX '%s' with no Image!\n", name);
    }
    own8_ = {};
    own16_ = {};
    pixels = nullptr;
    hicolor = 0;
    extra.reset();
    palette.reset();
    state = 0;
    loaded = 0;
}
