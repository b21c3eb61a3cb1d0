#include "common/byte_reader.h"

#include <cstring>

bool ByteReader::Seek(size_t offset) {
    if (offset > size_) {
        ok_ = false;
        return false;
    }
    pos_ = offset;
    return true;
}

bool ByteReader::Skip(size_t count) {
    if (!Need(count))
        return false;
    pos_ += count;
    return true;
}

bool ByteReader::Need(size_t count) {
    if (count > size_ - pos_) {
        ok_ = false;
        return false;
    }
    return true;
}

bool ByteReader::NeedItems(uint64_t count, size_t itemSize) {
    if (itemSize != 0 && count > (size_ - pos_) / itemSize) {
        ok_ = false;
        return false;
    }
    return true;
}

uint8_t ByteReader::U8() {
    if (!Need(1))
        return 0;
    return data_[pos_++];
}

uint16_t ByteReader::U16LE() {
    if (!Need(2))
        return 0;
    const uint8_t* p = data_ + pos_;
    pos_ += 2;
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t ByteReader::U32LE() {
    if (!Need(4))
        return 0;
    const uint8_t* p = data_ + pos_;
    pos_ += 4;
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

uint64_t ByteReader::U64LE() {
    if (!Need(8))
        return 0;
    uint64_t lo = U32LE();
    uint64_t hi = U32LE();
    return lo | (hi << 32);
}

float ByteReader::F32LE() {
    uint32_t bits = U32LE();
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

double ByteReader::F64LE() {
    uint64_t bits = U64LE();
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

uint16_t ByteReader::U16BE() {
    if (!Need(2))
        return 0;
    const uint8_t* p = data_ + pos_;
    pos_ += 2;
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

uint32_t ByteReader::U32BE() {
    if (!Need(4))
        return 0;
    const uint8_t* p = data_ + pos_;
    pos_ += 4;
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

bool ByteReader::Bytes(void* out, size_t count) {
    if (!Need(count)) {
        if (out && count)
            std::memset(out, 0, count);
        return false;
    }
    if (count)
        std::memcpy(out, data_ + pos_, count);
    pos_ += count;
    return true;
}

std::string_view ByteReader::View(size_t count) {
    if (!Need(count))
        return {};
    std::string_view v(reinterpret_cast<const char*>(data_ + pos_), count);
    pos_ += count;
    return v;
}

bool ByteReader::FixedText(char* out, size_t outSize, size_t fieldSize) {
    if (outSize)
        out[0] = '\0';
    if (!Need(fieldSize))
        return false;
    const char* field = reinterpret_cast<const char*>(data_ + pos_);
    size_t len = 0;
    while (len < fieldSize && field[len] != '\0')
        ++len;
    if (outSize) {
        size_t n = len < outSize - 1 ? len : outSize - 1;
        std::memcpy(out, field, n);
        out[n] = '\0';
    }
    pos_ += fieldSize;
    return true;
}

bool ByteReader::CText(std::string& out, size_t maxLength) {
    out.clear();
    size_t limit = Remaining();
    // maxLength + 1 would wrap for the largest limit.
    if (maxLength < limit)
        limit = maxLength + 1;
    const uint8_t* p = data_ + pos_;
    const void* zero = limit ? std::memchr(p, 0, limit) : nullptr;
    if (!zero) {
        ok_ = false;
        return false;
    }
    size_t len = static_cast<const uint8_t*>(zero) - p;
    out.assign(reinterpret_cast<const char*>(p), len);
    pos_ += len + 1;
    return true;
}
