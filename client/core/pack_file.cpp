#include "client/core/pack_file.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "client/core/game_file_bytes.h"
#include "common/text.h"

namespace {

// Deflate cannot do better than about 1032 to 1, so a declared size beyond that cannot be
// inflated from the bytes given; refusing it early keeps a hostile directory from asking for
// gigabytes.
constexpr uint64_t kMaxInflateRatio = 1032;
constexpr uint64_t kInflateSlack = 1024;

bool CouldInflateTo(uint64_t packed, uint64_t size) {
    return size <= packed * kMaxInflateRatio + kInflateSlack;
}

// The shortest zlib stream: a 2-byte header, an empty final block in 2 bytes, the 4-byte check
// value. Every entry keeps one in the data area, even an empty file.
constexpr uint64_t kMinPackedEntrySize = 8;

// The file name of a path, separators of either kind.
std::string_view NamePart(std::string_view path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

int AsciiLower(int c) {
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

}  // namespace

int ComparePackNames(const char* a, const char* b) {
    for (;; ++a, ++b) {
        int ca = AsciiLower(static_cast<unsigned char>(*a));
        int cb = AsciiLower(static_cast<unsigned char>(*b));
        if (ca != cb || ca == 0)
            return ca - cb;
    }
}

int ComparePackEntries(const PackEntry& a, const PackEntry& b) {
    return ComparePackNames(a.name, b.name);
}

int PackFile::Fail(int code) {
    errorCode = code;
    state = -1;
    dataBlock.reset();
    directory.clear();
    entryCount = 0;
    return -1;
}

int PackFile::OpenPackFile(const char* openPath, int openMode) {
    ClosePackFile();
    mode = openMode;
    errorCode = 0;
    if (!openPath || !*openPath)
        return Fail(PACK_NO_NAME);
    std::vector<uint8_t> bytes;
    if (!ReadGameFileBytes(openPath, bytes))
        return Fail(PACK_CANNOT_OPEN);
    return OpenPackFileFromMemory(openPath, bytes.data(), bytes.size(), openMode);
}

int PackFile::OpenPackFileFromMemory(const char* openPath, const uint8_t* bytes, size_t size, int openMode) {
    ClosePackFile();
    mode = openMode;
    errorCode = 0;
    if (!openPath || !*openPath)
        return Fail(PACK_NO_NAME);
    path = openPath;

    ByteReader r(bytes, size);
    char magic[4];
    if (!r.Bytes(magic, 4) || std::memcmp(magic, kPackMagic, 4) != 0)
        return Fail(PACK_BAD_MAGIC);
    if (r.U8() != kPackVersion || !r.Ok())
        return Fail(PACK_BAD_VERSION);

    uint8_t header[kPackHeaderSize];
    if (!r.Bytes(header, sizeof header))
        return Fail(PACK_SHORT_READ);
    for (size_t i = 0; i < sizeof header; ++i)
        header[i] ^= static_cast<uint8_t>(i);
    ByteReader h(header, sizeof header);
    uint32_t dirCrc = h.U32LE();
    uint32_t dirLength = h.U32LE();
    uint32_t nameLength = h.U32LE();
    uint32_t count = h.U32LE();

    if (nameLength > kPackMaxPackedNameSize)
        return Fail(PACK_BAD_NAME);
    std::string_view packedName = r.View(nameLength);
    if (!r.Ok())
        return Fail(PACK_SHORT_READ);
    char name[kPackMaxNameSize];
    uLongf nameSize = sizeof name;
    if (uncompress(reinterpret_cast<Bytef*>(name), &nameSize, reinterpret_cast<const Bytef*>(packedName.data()),
                   packedName.size()) != Z_OK)
        return Fail(PACK_BAD_DEFLATE);
    storedName.assign(name, nameSize);
    storedName.resize(std::strlen(storedName.c_str()));
    // A renamed archive does not open: the stored name guards against swapped level files.
    if (!EqualsNoCase(NamePart(path), storedName))
        return Fail(PACK_BAD_NAME);

    uint64_t packedTotal = 0;
    if (int rc = ReadDirectory(r, dirCrc, dirLength, count, &packedTotal); rc != 0)
        return Fail(rc);
    if (mode != 1) {
        state = 1;
        return 0;
    }
    if (int rc = InflateEntries(r, packedTotal); rc != 0)
        return Fail(rc);
    state = 1;
    return 0;
}

int PackFile::ReadDirectory(ByteReader& r, uint32_t dirCrc, uint32_t dirLength, uint32_t count,
                            uint64_t* packedTotal) {
    std::string_view packedDir = r.View(dirLength);
    if (!r.Ok())
        return PACK_SHORT_READ;
    dataOffset = static_cast<uint32_t>(r.Position());
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(packedDir.data()), static_cast<uInt>(packedDir.size()));
    if (crc != dirCrc)
        return PACK_BAD_CRC;

    uint64_t dirSize = uint64_t(count) * kPackEntrySize;
    if (!CouldInflateTo(dirLength, dirSize))
        return PACK_BAD_DEFLATE;
    // A directory of entries whose data the file cannot hold is refused before it is inflated:
    // a small file could otherwise ask for a table of millions of entries.
    if (uint64_t(count) * kMinPackedEntrySize > r.Remaining())
        return PACK_CANNOT_OPEN;
    // An archive of no entries has an empty directory, which inflates to nothing.
    std::unique_ptr<uint8_t[]> raw(new (std::nothrow) uint8_t[dirSize ? dirSize : 1]);
    if (!raw)
        return PACK_NO_MEMORY;
    uLongf inflated = dirSize;
    int z = uncompress(raw.get(), &inflated, reinterpret_cast<const Bytef*>(packedDir.data()), packedDir.size());
    if (z != Z_OK || inflated != dirSize)
        return PACK_BAD_DEFLATE;

    std::vector<PackEntry> entries(count);
    ByteReader d(raw.get(), inflated);
    uint64_t total = 0;
    uint64_t packed = 0;
    for (PackEntry& e : entries) {
        d.Bytes(e.name, sizeof e.name);
        e.offset = d.U32LE();
        e.size = d.U32LE();
        e.dataOffset = d.U32LE();
        e.packedSize = d.U32LE();
        e.crc = d.U32LE();
        if (!d.Ok() || std::memchr(e.name, 0, sizeof e.name) == nullptr)
            return PACK_BAD_DEFLATE;
        total += e.size;
        packed += e.packedSize;
    }
    if (total > UINT32_MAX)
        return PACK_BAD_DEFLATE;
    // Each entry must lie inside the inflated block and be reachable from its packed bytes.
    for (const PackEntry& e : entries)
        if (uint64_t(e.offset) + e.size > total || !CouldInflateTo(e.packedSize, e.size))
            return PACK_BAD_DEFLATE;

    directory = std::move(entries);
    entryCount = count;
    totalSize = static_cast<uint32_t>(total);
    *packedTotal = packed;
    return 0;
}

int PackFile::InflateEntries(ByteReader& r, uint64_t packedTotal) {
    if (packedTotal > r.Remaining())
        return PACK_CANNOT_OPEN;
    dataBlock.reset(new (std::nothrow) uint8_t[totalSize ? totalSize : 1]);
    if (!dataBlock)
        return PACK_NO_MEMORY;
    uint8_t* out = dataBlock.get();
    for (const PackEntry& e : directory) {
        std::string_view packed = r.View(e.packedSize);
        const Bytef* in = reinterpret_cast<const Bytef*>(packed.data());
        if (crc32(crc32(0L, Z_NULL, 0), in, e.packedSize) != e.crc)
            return PACK_BAD_CRC;
        uLongf inflated = e.size;
        int z = uncompress(out, &inflated, in, e.packedSize);
        if (z != Z_OK || inflated != e.size)
            return PACK_BAD_DEFLATE;
        out += e.size;
    }
    return 0;
}

int PackFile::FindPackEntry(const char* name, PackEntry* entry) {
    if (state != 1)
        return -1;
    if (!name || !*name) {
        errorCode = PACK_NO_NAME;
        return -1;
    }
    auto it = std::lower_bound(directory.begin(), directory.end(), name,
                               [](const PackEntry& e, const char* n) { return ComparePackNames(e.name, n) < 0; });
    if (it == directory.end() || ComparePackNames(it->name, name) != 0) {
        errorCode = PACK_NOT_FOUND;
        return -1;
    }
    if (entry)
        *entry = *it;
    return 0;
}

int PackFile::ClosePackFile() {
    directory.clear();
    dataBlock.reset();
    state = 0;
    entryCount = 0;
    totalSize = 0;
    dataOffset = 0;
    path.clear();
    return 0;
}

const uint8_t* PackFile::EntryData(const PackEntry& entry) const {
    if (state != 1 || !dataBlock || uint64_t(entry.offset) + entry.size > totalSize)
        return nullptr;
    return dataBlock.get() + entry.offset;
}

ByteReader PackFile::EntryReader(const PackEntry& entry) const {
    const uint8_t* data = EntryData(entry);
    return data ? ByteReader(data, entry.size) : ByteReader();
}
