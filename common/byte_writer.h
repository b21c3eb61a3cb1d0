#pragma once
// The writer that matches ByteReader: fields are appended one by one, little-endian for files,
// big-endian for the wire. Patch* rewrite a field already written (lengths, checksums).

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

class ByteWriter {
public:
    const std::vector<uint8_t>& Data() const { return data_; }
    std::vector<uint8_t>& Data() { return data_; }
    size_t Size() const { return data_.size(); }

    void U8(uint8_t v) { data_.push_back(v); }
    void I8(int8_t v) { U8(static_cast<uint8_t>(v)); }
    void U16LE(uint16_t v);
    void U32LE(uint32_t v);
    void U64LE(uint64_t v);
    void I16LE(int16_t v) { U16LE(static_cast<uint16_t>(v)); }
    void I32LE(int32_t v) { U32LE(static_cast<uint32_t>(v)); }
    void F32LE(float v);
    void F64LE(double v);
    void U16BE(uint16_t v);
    void U32BE(uint32_t v);
    void I16BE(int16_t v) { U16BE(static_cast<uint16_t>(v)); }
    void I32BE(int32_t v) { U32BE(static_cast<uint32_t>(v)); }
    void Bytes(const void* p, size_t n);
    void Zeros(size_t n) { data_.insert(data_.end(), n, 0); }
    // Writes text into a field of fieldSize bytes, zero padded; text longer than fieldSize - 1
    // is cut so the field always holds a terminator.
    void FixedText(std::string_view text, size_t fieldSize);
    // Writes text and a zero byte.
    void CText(std::string_view text);

    void PatchU16LE(size_t offset, uint16_t v);
    void PatchU32LE(size_t offset, uint32_t v);
    void PatchU16BE(size_t offset, uint16_t v);

private:
    std::vector<uint8_t> data_;
};
