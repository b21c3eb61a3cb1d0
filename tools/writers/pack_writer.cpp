#include "tools/writers/pack_writer.h"

#include <zlib.h>

#include <algorithm>

#include "common/byte_writer.h"

std::vector<uint8_t> DeflateBytes(const uint8_t* data, size_t size) {
    std::vector<uint8_t> out(compressBound(size));
    uLongf packed = out.size();
    if (compress2(out.data(), &packed, data, size, Z_DEFAULT_COMPRESSION) != Z_OK)
        return {};
    out.resize(packed);
    return out;
}

uint32_t Crc32Of(const std::vector<uint8_t>& bytes) {
    return static_cast<uint32_t>(crc32(crc32(0L, Z_NULL, 0), bytes.data(), static_cast<uInt>(bytes.size())));
}

void WritePackEntry(ByteWriter& w, const PackEntry& e) {
    w.Bytes(e.name, sizeof e.name);
    w.U32LE(e.offset);
    w.U32LE(e.size);
    w.U32LE(e.dataOffset);
    w.U32LE(e.packedSize);
    w.U32LE(e.crc);
}

std::vector<uint8_t> AssemblePackFile(const std::string& storedName, const std::vector<uint8_t>& directory,
                                      uint32_t count, const std::vector<uint8_t>& dataArea) {
    std::vector<uint8_t> packedDirectory = DeflateBytes(directory.data(), directory.size());
    if (packedDirectory.empty())
        return {};
    return AssemblePackFileFromPacked(storedName, packedDirectory, count, dataArea);
}

std::vector<uint8_t> AssemblePackFileFromPacked(const std::string& storedName,
                                                const std::vector<uint8_t>& packedDirectory, uint32_t count,
                                                const std::vector<uint8_t>& dataArea) {
    std::vector<uint8_t> packedName =
        DeflateBytes(reinterpret_cast<const uint8_t*>(storedName.data()), storedName.size());
    if (packedName.empty())
        return {};

    ByteWriter header;
    header.U32LE(Crc32Of(packedDirectory));
    header.U32LE(static_cast<uint32_t>(packedDirectory.size()));
    header.U32LE(static_cast<uint32_t>(packedName.size()));
    header.U32LE(count);
    for (size_t i = 0; i < header.Size(); ++i)
        header.Data()[i] ^= static_cast<uint8_t>(i);

    ByteWriter out;
    out.Bytes(kPackMagic, sizeof kPackMagic);
    out.U8(kPackVersion);
    out.Bytes(header.Data().data(), header.Size());
    out.Bytes(packedName.data(), packedName.size());
    out.Bytes(packedDirectory.data(), packedDirectory.size());
    out.Bytes(dataArea.data(), dataArea.size());
    return std::move(out.Data());
}

std::vector<uint8_t> BuildPackFile(const std::string& storedName, std::vector<PackSource> files) {
    if (storedName.empty() || storedName.size() > kPackMaxNameSize)
        return {};
    std::sort(files.begin(), files.end(), [](const PackSource& a, const PackSource& b) {
        return ComparePackNames(a.name.c_str(), b.name.c_str()) < 0;
    });
    for (size_t i = 0; i < files.size(); ++i) {
        if (files[i].name.empty() || files[i].name.size() >= kPackEntryNameSize)
            return {};
        if (i > 0 && ComparePackNames(files[i - 1].name.c_str(), files[i].name.c_str()) == 0)
            return {};
    }

    ByteWriter directory;
    std::vector<uint8_t> data;
    uint32_t inflatedOffset = 0;
    for (const PackSource& f : files) {
        std::vector<uint8_t> packed = DeflateBytes(f.bytes.data(), f.bytes.size());
        if (packed.empty())
            return {};
        PackEntry e;
        f.name.copy(e.name, sizeof e.name - 1);
        e.offset = inflatedOffset;
        e.size = static_cast<uint32_t>(f.bytes.size());
        e.dataOffset = static_cast<uint32_t>(data.size());
        e.packedSize = static_cast<uint32_t>(packed.size());
        e.crc = Crc32Of(packed);
        WritePackEntry(directory, e);
        data.insert(data.end(), packed.begin(), packed.end());
        inflatedOffset += e.size;
    }
    std::vector<uint8_t> packedName =
        DeflateBytes(reinterpret_cast<const uint8_t*>(storedName.data()), storedName.size());
    if (packedName.size() > kPackMaxPackedNameSize)
        return {};
    return AssemblePackFile(storedName, directory.Data(), static_cast<uint32_t>(files.size()), data);
}
