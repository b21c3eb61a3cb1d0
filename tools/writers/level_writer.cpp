#include "tools/writers/level_writer.h"

#include <cstring>

#include "common/byte_writer.h"

namespace {

constexpr size_t kThinRecordSize = 92;
constexpr size_t kTextureOffset = 23000;
constexpr size_t kTextureRecordSize = 104;
constexpr size_t kTileOffset = 49000;
constexpr size_t kSlopeOffset = 80250;
constexpr size_t kMiscSize = kSlopeOffset + 99 * 16;
constexpr size_t kOlistRecordSize = 116;
constexpr size_t kOlistOffsets[21] = {12, 0, 4, 8, 16, 20, 24, 28, 32, 36, 48, 52, 56, 60, 64, 68, 72, 84, 88, 92, 40};

void Put32(std::vector<uint8_t>& b, size_t at, int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(u >> (8 * i));
}

}  // namespace

void LevelSource::Fill(int x1, int y1, int x2, int y2, int k, uint16_t v) {
    for (int x = x1; x <= x2; ++x)
        for (int y = y1; y <= y2; ++y)
            Word(x, y, k) = v;
}

std::vector<uint8_t> BuildGridDat(const LevelSource& level) {
    ByteWriter w;
    w.I16LE(static_cast<int16_t>(level.side));
    w.Zeros(2);
    for (int y = 0; y < level.side; ++y)
        for (int x = 0; x < level.side; ++x)
            for (int k = 0; k < level.words; ++k)
                w.U16LE(level.cells[static_cast<size_t>(y * 128 + x) * level.words + k]);
    for (size_t i = 0; i < 1000; ++i) {
        LevelPlacement p = i < level.placements.size() ? level.placements[i] : LevelPlacement{};
        w.U32LE(p.olist);
        w.I32LE(p.x);
        w.I32LE(p.y);
        w.U16LE(static_cast<uint16_t>(p.height));
        w.U16LE(static_cast<uint16_t>(p.facingDegrees));
    }
    return w.Data();
}

std::vector<uint8_t> BuildMiscDat(const LevelSource& level) {
    std::vector<uint8_t> b(kMiscSize, 0);
    for (size_t i = 0; i < level.thins.size() && i < 250; ++i) {
        const LevelThinRecord& t = level.thins[i];
        size_t at = i * kThinRecordSize;
        Put32(b, at + 20, t.x1);
        Put32(b, at + 24, t.y1);
        Put32(b, at + 28, t.x2);
        Put32(b, at + 32, t.y2);
        Put32(b, at + 36, t.texture | t.texture2 << 8);
        Put32(b, at + 40, t.length);
        Put32(b, at + 44, t.height);
        Put32(b, at + 48, t.open);
        Put32(b, at + 52, t.kind);
        Put32(b, at + 56, t.speedCap);
        Put32(b, at + 60, t.color);
        Put32(b, at + 64, t.trigger);
        Put32(b, at + 68, t.angleDegrees);
        Put32(b, at + 72, t.used);
        Put32(b, at + 76, t.base);
        Put32(b, at + 80, t.side);
        Put32(b, at + 84, t.transparent);
        Put32(b, at + 88, t.thickness);
    }
    for (const auto& [number, t] : level.textures) {
        if (number < 1 || number > 249)
            continue;
        size_t at = kTextureOffset + static_cast<size_t>(number - 1) * kTextureRecordSize;
        std::memset(&b[at + 20], ' ', 40);
        for (size_t f = 0; f < t.frames.size() && f < 4; ++f)
            std::memcpy(&b[at + 20 + f * 10], t.frames[f].data(), std::min<size_t>(t.frames[f].size(), 9));
        Put32(b, at + 60, t.hbits);
        Put32(b, at + 64, t.wbits);
        Put32(b, at + 68, t.timer);
        Put32(b, at + 72, t.sound);
        Put32(b, at + 76, t.numframes);
        Put32(b, at + 80, t.translucent);
        Put32(b, at + 84, t.word84);
        Put32(b, at + 88, t.colorTable);
        Put32(b, at + 92, t.word92);
    }
    for (const auto& [number, values] : level.tiles) {
        if (number < 1 || number > 99)
            continue;
        for (size_t k = 0; k < 64; ++k)
            Put32(b, kTileOffset + static_cast<size_t>(number - 1) * 256 + k * 4, static_cast<int32_t>(values[k]));
    }
    for (const auto& [number, xy] : level.slopes) {
        if (number < 0 || number > 98)
            continue;
        Put32(b, kSlopeOffset + static_cast<size_t>(number) * 16, xy.first);
        Put32(b, kSlopeOffset + static_cast<size_t>(number) * 16 + 4, xy.second);
    }
    return b;
}

std::vector<uint8_t> BuildObjectsDat(const LevelSource& level) {
    std::vector<uint8_t> b(99 * kOlistRecordSize, 0);
    for (const auto& [number, entry] : level.olist) {
        if (number < 1 || number > 99)
            continue;
        for (size_t f = 0; f < 21; ++f)
            Put32(b, static_cast<size_t>(number - 1) * kOlistRecordSize + kOlistOffsets[f], entry[f]);
    }
    return b;
}
