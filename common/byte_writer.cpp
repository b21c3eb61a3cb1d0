#include "common/byte_writer.h"

#include <cstring>

void ByteWriter::U16LE(uint16_t v) {
    U8(static_cast<uint8_t>(v));
    U8(static_cast<uint8_t>(v >> 8));
}

void ByteWriter::U32LE(uint32_t v) {
    for (int i = 0; i < 4; ++i)
        U8(static_cast<uint8_t>(v >> (8 * i)));
}

void ByteWriter::U64LE(uint64_t v) {
    U32LE(static_cast<uint32_t>(v));
    U32LE(static_cast<uint32_t>(v >> 32));
}

void ByteWriter::F32LE(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    U32LE(bits);
}

void ByteWriter::F64LE(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    U64LE(bits);
}

void ByteWriter::U16BE(uint16_t v) {
    U8(static_cast<uint8_t>(v >> 8));
    U8(static_cast<uint8_t>(v));
}

void ByteWriter::U32BE(uint32_t v) {
    for (int i = 3; i >= 0; --i)
        U8(static_cast<uint8_t>(v >> (8 * i)));
}

void ByteWriter::Bytes(const void* p, size_t n) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    data_.insert(data_.end(), b, b + n);
}

void ByteWriter::FixedText(std::string_view text, size_t fieldSize) {
    if (fieldSize == 0)
        return;
    size_t n = text.size() < fieldSize - 1 ? text.size() : fieldSize - 1;
    Bytes(text.data(), n);
    Zeros(fieldSize - n);
}

void ByteWriter::CText(std::string_view text) {
    Bytes(text.data(), text.size());
    U8(0);
}

void ByteWriter::PatchU16LE(size_t offset, uint16_t v) {
    data_.at(offset) = static_cast<uint8_t>(v);
    data_.at(offset + 1) = static_cast<uint8_t>(v >> 8);
}

void ByteWriter::PatchU32LE(size_t offset, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        data_.at(offset + i) = static_cast<uint8_t>(v >> (8 * i));
}

void ByteWriter::PatchU16BE(size_t offset, uint16_t v) {
    data_.at(offset) = static_cast<uint8_t>(v >> 8);
    data_.at(offset + 1) = static_cast<uint8_t>(v);
}
