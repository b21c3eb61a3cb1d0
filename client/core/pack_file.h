#pragma once
// Level pack archives ("grids\%s.zpk", format ZPAK): a sorted directory and the zlib-compressed
// contents of every file of a level. Opened in mode 1 the whole level is inflated into one block,
// so a look-up is a binary search and a pointer.
//
// Layout (little-endian): "ZPAK", version byte 2, a 16-byte header with each byte XORed with its
// index (crc32 of the compressed directory, its length, the compressed name's length, the entry
// count), the compressed archive name, the compressed directory of 284-byte entries, then every
// entry's compressed bytes in directory order.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/byte_reader.h"

constexpr char kPackMagic[4] = {'Z', 'P', 'A', 'K'};
constexpr uint8_t kPackVersion = 2;
constexpr size_t kPackHeaderSize = 16;
constexpr size_t kPackPrefixSize = 5 + kPackHeaderSize;  // magic, version, header
constexpr size_t kPackEntrySize = 284;
constexpr size_t kPackEntryNameSize = 264;
constexpr size_t kPackMaxPackedNameSize = 281;
constexpr size_t kPackMaxNameSize = 256;

// Results of an open or a look-up.
enum PackError {
    PACK_OK = 0,
    PACK_BAD_MAGIC = -1,
    PACK_BAD_VERSION = -2,
    PACK_SHORT_READ = -3,
    PACK_BAD_CRC = -4,
    PACK_BAD_DEFLATE = -6,
    PACK_CANNOT_OPEN = -9,
    PACK_NO_MEMORY = -10,
    PACK_NO_NAME = -11,
    PACK_NOT_FOUND = -13,
    PACK_BAD_NAME = -14,
};

// One directory entry, as stored.
struct PackEntry {
    char name[kPackEntryNameSize] = {};
    uint32_t offset = 0;      // in the inflated data block
    uint32_t size = 0;        // inflated
    uint32_t dataOffset = 0;  // not used by the reader; writers store the offset in the data area
    uint32_t packedSize = 0;  // in the data area
    uint32_t crc = 0;         // crc32 of the compressed bytes
};

// Case-insensitive (ASCII) order of entry names; the directory is sorted by it.
int ComparePackNames(const char* a, const char* b);
int ComparePackEntries(const PackEntry& a, const PackEntry& b);

class PackFile {
public:
    PackFile() = default;
    PackFile(const char* path, int mode) { OpenPackFile(path, mode); }
    ~PackFile() { ClosePackFile(); }
    PackFile(const PackFile&) = delete;
    PackFile& operator=(const PackFile&) = delete;

    // 0 with state 1, or -1 with state -1 and the error code left in errorCode. Mode 1 inflates
    // every entry at once; any other mode reads the directory only.
    int OpenPackFile(const char* path, int mode);
    // The same over the archive's bytes already in memory; path is the archive's file name as
    // it would be opened (its name part must match the stored name).
    int OpenPackFileFromMemory(const char* path, const uint8_t* bytes, size_t size, int mode);
    // Copies the entry of that name (compared without regard to case) and returns 0; -1 with the
    // error code set otherwise. On an archive that is not open it fails without setting a code.
    int FindPackEntry(const char* name, PackEntry* entry);
    int ClosePackFile();

    // The inflated bytes of an entry found by FindPackEntry (mode 1); empty otherwise.
    ByteReader EntryReader(const PackEntry& entry) const;
    const uint8_t* EntryData(const PackEntry& entry) const;

    int mode = 0;
    int errorCode = 0;
    int state = 0;  // 0 not open, 1 open, -1 the open failed
    uint32_t dataOffset = 0;
    uint32_t totalSize = 0;
    std::unique_ptr<uint8_t[]> dataBlock;
    std::string path;
    std::string storedName;
    uint32_t entryCount = 0;
    std::vector<PackEntry> directory;

private:
    int Fail(int code);
    int ReadDirectory(ByteReader& r, uint32_t dirCrc, uint32_t dirLength, uint32_t count, uint64_t* packedTotal);
    int InflateEntries(ByteReader& r, uint64_t packedTotal);
};
