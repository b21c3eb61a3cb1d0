#pragma once
// Bounds-checked reading of untrusted bytes (files, packets). Every read checks what remains;
// a failed read leaves the output zeroed, marks the reader failed and consumes nothing, so a
// parser can read a whole record and test Ok() once at the end.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class ByteReader {
public:
    ByteReader() = default;
    ByteReader(const void* data, size_t size)
        : data_(static_cast<const uint8_t*>(data)), size_(data ? size : 0) {}

    bool Ok() const { return ok_; }
    void Fail() { ok_ = false; }
    size_t Size() const { return size_; }
    size_t Position() const { return pos_; }
    size_t Remaining() const { return size_ - pos_; }
    bool AtEnd() const { return pos_ == size_; }
    const uint8_t* Data() const { return data_; }
    const uint8_t* Current() const { return data_ + pos_; }

    // Moves to an absolute offset; an offset past the end fails.
    bool Seek(size_t offset);
    bool Skip(size_t count);
    // True when count more bytes can be read; marks the reader failed otherwise.
    bool Need(size_t count);
    // True when count items of itemSize bytes each remain (no overflow in the product).
    bool NeedItems(uint64_t count, size_t itemSize);

    uint8_t U8();
    int8_t I8() { return static_cast<int8_t>(U8()); }
    uint16_t U16LE();
    uint32_t U32LE();
    uint64_t U64LE();
    int16_t I16LE() { return static_cast<int16_t>(U16LE()); }
    int32_t I32LE() { return static_cast<int32_t>(U32LE()); }
    float F32LE();
    double F64LE();
    uint16_t U16BE();
    uint32_t U32BE();
    int16_t I16BE() { return static_cast<int16_t>(U16BE()); }
    int32_t I32BE() { return static_cast<int32_t>(U32BE()); }

    // Copies count bytes; on failure the output is zero-filled.
    bool Bytes(void* out, size_t count);
    // A view of the next count bytes, consumed; empty and failed when they are not there.
    std::string_view View(size_t count);

    // Reads a fixed field of fieldSize bytes holding a zero-terminated text and copies it into
    // out (outSize bytes, always terminated, cut to fit). The field is consumed whole.
    bool FixedText(char* out, size_t outSize, size_t fieldSize);
    // Reads bytes up to and including a zero byte, at most maxLength text bytes. A missing
    // terminator within the limit fails.
    bool CText(std::string& out, size_t maxLength);

private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t pos_ = 0;
    bool ok_ = true;
};
