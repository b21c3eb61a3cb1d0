#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "client/core/pack_file.h"
#include "common/byte_writer.h"
#include "tests/support/temp_dir.h"
#include "tools/writers/pack_writer.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

std::string Text(const PackFile& pack, const PackEntry& e) {
    const uint8_t* p = pack.EntryData(e);
    return p ? std::string(reinterpret_cast<const char*>(p), e.size) : std::string("<none>");
}

std::vector<PackSource> LevelFiles() {
    return {
        {"world.dat", Bytes(std::string(5000, 'w'))},
        {"grid.dat", Bytes("grid bytes")},
        {"Map.pcx", Bytes("a map")},
        {"light/system.col", Bytes(std::string(300, '\x7f'))},
        {"empty.dat", {}},
    };
}

class PackFileTest : public ::testing::Test {
protected:
    void SetUp() override { dir.Enter(); }

    // Writes an archive under fileName that believes it is called storedName.
    void Write(const std::string& fileName, const std::vector<uint8_t>& bytes) {
        dir.Write(fileName, std::string(bytes.begin(), bytes.end()));
    }
    void WritePack(const std::string& fileName, const std::string& storedName, std::vector<PackSource> files) {
        std::vector<uint8_t> bytes = BuildPackFile(storedName, std::move(files));
        ASSERT_FALSE(bytes.empty());
        Write(fileName, bytes);
    }
    int Open(const std::string& fileName, int mode = 1) { return pack.OpenPackFile(fileName.c_str(), mode); }

    TempDir dir;
    PackFile pack;
};

TEST_F(PackFileTest, OpensAndFindsEveryEntryWithoutRegardToCase) {
    WritePack("grids/arena1.zpk", "arena1.zpk", LevelFiles());
    ASSERT_EQ(Open("grids\\arena1.zpk"), 0);
    EXPECT_EQ(pack.state, 1);
    EXPECT_EQ(pack.entryCount, 5u);
    EXPECT_EQ(pack.storedName, "arena1.zpk");
    EXPECT_EQ(pack.totalSize, 5000u + 10 + 5 + 300);

    PackEntry e;
    ASSERT_EQ(pack.FindPackEntry("GRID.DAT", &e), 0);
    EXPECT_STREQ(e.name, "grid.dat");
    EXPECT_EQ(Text(pack, e), "grid bytes");
    ASSERT_EQ(pack.FindPackEntry("map.pcx", &e), 0);
    EXPECT_EQ(Text(pack, e), "a map");
    ASSERT_EQ(pack.FindPackEntry("world.dat", &e), 0);
    EXPECT_EQ(Text(pack, e), std::string(5000, 'w'));
    ASSERT_EQ(pack.FindPackEntry("light/system.col", &e), 0);
    EXPECT_EQ(e.size, 300u);
    ASSERT_EQ(pack.FindPackEntry("empty.dat", &e), 0);
    EXPECT_EQ(e.size, 0u);

    EXPECT_EQ(pack.FindPackEntry("objects.dat", &e), -1);
    EXPECT_EQ(pack.errorCode, PACK_NOT_FOUND);
    EXPECT_EQ(pack.FindPackEntry("", &e), -1);
    EXPECT_EQ(pack.errorCode, PACK_NO_NAME);
    // A failed look-up leaves the archive usable.
    EXPECT_EQ(pack.FindPackEntry("grid.dat", &e), 0);

    pack.ClosePackFile();
    EXPECT_EQ(pack.state, 0);
    EXPECT_EQ(pack.FindPackEntry("grid.dat", &e), -1);
}

TEST_F(PackFileTest, EveryModeButOneReadsTheDirectoryOnly) {
    WritePack("a.zpk", "a.zpk", LevelFiles());
    for (int mode : {0, 2, -1}) {
        SCOPED_TRACE(mode);
        ASSERT_EQ(Open("a.zpk", mode), 0);
        EXPECT_EQ(pack.mode, mode);
        PackEntry e;
        ASSERT_EQ(pack.FindPackEntry("grid.dat", &e), 0);
        EXPECT_EQ(e.size, 10u);
        EXPECT_EQ(pack.EntryData(e), nullptr);
        EXPECT_FALSE(pack.dataBlock);
        EXPECT_EQ(pack.totalSize, 5000u + 10 + 5 + 300);
    }
}

TEST_F(PackFileTest, AnOpenStartsFromNothing) {
    WritePack("a.zpk", "a.zpk", LevelFiles());
    WritePack("b.zpk", "b.zpk", {{"only.dat", Bytes("b's own")}});
    ASSERT_EQ(Open("a.zpk"), 0);
    // The second archive, directory only, in the same record: nothing of the first stays.
    ASSERT_EQ(Open("b.zpk", 0), 0);
    EXPECT_EQ(pack.entryCount, 1u);
    EXPECT_EQ(pack.totalSize, 7u);
    EXPECT_FALSE(pack.dataBlock);
    PackEntry e;
    EXPECT_EQ(pack.FindPackEntry("grid.dat", &e), -1);
    EXPECT_EQ(pack.errorCode, PACK_NOT_FOUND);
    ASSERT_EQ(Open("a.zpk"), 0);
    Write("bad.zpk", {'Z', 'P', 'A', 'K', 9});
    EXPECT_EQ(Open("bad.zpk"), -1);
    EXPECT_EQ(pack.entryCount, 0u);
    EXPECT_EQ(pack.totalSize, 0u);
    EXPECT_TRUE(pack.directory.empty());
    EXPECT_FALSE(pack.dataBlock);
    // Closing an open archive leaves nothing of it either.
    ASSERT_EQ(Open("a.zpk"), 0);
    EXPECT_EQ(pack.ClosePackFile(), 0);
    EXPECT_EQ(pack.state, 0);
    EXPECT_EQ(pack.entryCount, 0u);
    EXPECT_EQ(pack.totalSize, 0u);
    EXPECT_EQ(pack.dataOffset, 0u);
    EXPECT_TRUE(pack.path.empty());
    EXPECT_FALSE(pack.dataBlock);
    EXPECT_EQ(pack.FindPackEntry("grid.dat", &e), -1);
}

TEST_F(PackFileTest, StoredNameGuardsAgainstRenamedArchives) {
    WritePack("renamed.zpk", "arena1.zpk", LevelFiles());
    EXPECT_EQ(Open("renamed.zpk"), -1);
    EXPECT_EQ(pack.errorCode, PACK_BAD_NAME);
    EXPECT_EQ(pack.state, -1);
    // A look-up on the failed archive fails and keeps the open's code.
    PackEntry e;
    EXPECT_EQ(pack.FindPackEntry("grid.dat", &e), -1);
    EXPECT_EQ(pack.errorCode, PACK_BAD_NAME);

    WritePack("ARENA2.ZPK", "arena2.zpk", LevelFiles());
    EXPECT_EQ(Open("ARENA2.ZPK"), 0);
}

TEST_F(PackFileTest, HeaderFaultsGiveTheirCodes) {
    std::vector<uint8_t> good = BuildPackFile("a.zpk", LevelFiles());
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        int code;
    };
    std::vector<Case> cases;
    auto with = [&](size_t at, uint8_t v) {
        std::vector<uint8_t> b = good;
        b[at] = v;
        return b;
    };
    cases.push_back({"magic", with(0, 'X'), PACK_BAD_MAGIC});
    cases.push_back({"too short for magic", {'Z', 'P'}, PACK_BAD_MAGIC});
    cases.push_back({"version", with(4, 3), PACK_BAD_VERSION});
    cases.push_back({"header cut", std::vector<uint8_t>(good.begin(), good.begin() + 12), PACK_SHORT_READ});
    // Name length (header word 2, each byte XORed with its index) raised above 281.
    cases.push_back({"name length", with(5 + 9, 0x02 ^ 9), PACK_BAD_NAME});
    cases.push_back({"directory cut", std::vector<uint8_t>(good.begin(), good.begin() + 40), PACK_SHORT_READ});
    cases.push_back({"directory crc", with(5, good[5] ^ 1), PACK_BAD_CRC});
    cases.push_back({"name not zlib", with(kPackPrefixSize, 0), PACK_BAD_DEFLATE});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Write("a.zpk", c.bytes);
        EXPECT_EQ(Open("a.zpk"), -1);
        EXPECT_EQ(pack.errorCode, c.code);
        EXPECT_EQ(pack.state, -1);
    }
    EXPECT_EQ(Open("missing.zpk"), -1);
    EXPECT_EQ(pack.errorCode, PACK_CANNOT_OPEN);
    EXPECT_EQ(pack.OpenPackFile(nullptr, 1), -1);
    EXPECT_EQ(pack.errorCode, PACK_NO_NAME);
    for (const char* path : {"", static_cast<const char*>(nullptr)}) {
        EXPECT_EQ(pack.OpenPackFileFromMemory(path, good.data(), good.size(), 1), -1);
        EXPECT_EQ(pack.errorCode, PACK_NO_NAME) << "an archive held in memory needs a name too";
    }
}

TEST_F(PackFileTest, OneFlippedBitInAnEntryFailsTheWholeOpen) {
    std::vector<uint8_t> bytes = BuildPackFile("a.zpk", LevelFiles());
    bytes[bytes.size() - 3] ^= 0x10;  // inside the last entry's compressed bytes
    Write("a.zpk", bytes);
    EXPECT_EQ(Open("a.zpk"), -1);
    EXPECT_EQ(pack.errorCode, PACK_BAD_CRC);
    EXPECT_FALSE(pack.dataBlock);

    bytes.resize(bytes.size() - 3);  // the data area cut short
    Write("a.zpk", bytes);
    EXPECT_EQ(Open("a.zpk"), -1);
    EXPECT_EQ(pack.errorCode, PACK_CANNOT_OPEN);
}

TEST_F(PackFileTest, WriterSortsWhateverOrderItIsGiven) {
    std::vector<PackSource> files;
    for (const char* n : {"zeta.dat", "Alpha.pcx", "mid.dat", "beta.dat", "ALPHA2.pcx"})
        files.push_back({n, Bytes(n)});
    WritePack("s.zpk", "s.zpk", files);
    ASSERT_EQ(Open("s.zpk"), 0);
    for (const PackSource& f : files) {
        PackEntry e;
        ASSERT_EQ(pack.FindPackEntry(f.name.c_str(), &e), 0) << f.name;
        EXPECT_EQ(Text(pack, e), f.name);
    }
    for (size_t i = 1; i < pack.directory.size(); ++i)
        EXPECT_LT(ComparePackEntries(pack.directory[i - 1], pack.directory[i]), 0);
    // Names that differ only in case cannot both be found, so the writer refuses them.
    EXPECT_TRUE(BuildPackFile("d.zpk", {{"a.dat", {}}, {"A.DAT", {}}}).empty());
}

TEST_F(PackFileTest, AnArchiveOfNoEntriesOpensAndFindsNothing) {
    const std::vector<uint8_t> none = AssemblePackFile("none.zpk", {}, 0, {});
    ASSERT_FALSE(none.empty());
    Write("none.zpk", none);
    for (int mode : {1, 0}) {
        SCOPED_TRACE(mode);
        ASSERT_EQ(Open("none.zpk", mode), 0) << pack.errorCode;
        EXPECT_EQ(pack.state, 1);
        EXPECT_EQ(pack.entryCount, 0u);
        EXPECT_EQ(pack.totalSize, 0u);
        PackEntry e;
        for (const char* name : {"grid.dat", "a", "\xff"}) {
            EXPECT_EQ(pack.FindPackEntry(name, &e), -1);
            EXPECT_EQ(pack.errorCode, PACK_NOT_FOUND);
        }
        EXPECT_EQ(pack.FindPackEntry("", &e), -1);
        EXPECT_EQ(pack.errorCode, PACK_NO_NAME);
    }
    // The writer makes the same archive of nothing.
    EXPECT_EQ(BuildPackFile("none.zpk", {}), none);

    // A count of 0 over a directory that holds an entry is a directory that does not inflate.
    ByteWriter oneEntry;
    WritePackEntry(oneEntry, PackEntry{});
    Write("none.zpk", AssemblePackFile("none.zpk", oneEntry.Data(), 0, {}));
    EXPECT_EQ(Open("none.zpk"), -1);
    EXPECT_EQ(pack.errorCode, PACK_BAD_DEFLATE);
}

// Archives whose directory lies about the data: each must fail the open instead of handing out
// memory outside the inflated block.
class HostileDirectoryTest : public PackFileTest {
protected:
    struct Hostile {
        const char* what;
        std::vector<PackEntry> entries;
        uint32_t count;
        int code;
        std::vector<uint8_t> packed = {};  // each entry's data area bytes, when not the common ones
    };

    PackEntry Entry(const char* name, uint32_t offset, uint32_t size, const std::vector<uint8_t>& packed,
                    uint32_t packedOffset = 0) {
        PackEntry e;
        std::strncpy(e.name, name, sizeof e.name - 1);
        e.offset = offset;
        e.size = size;
        e.dataOffset = packedOffset;
        e.packedSize = static_cast<uint32_t>(packed.size());
        e.crc = Crc32Of(packed);
        return e;
    }

    int OpenAssembled(const std::vector<PackEntry>& entries, uint32_t count, const std::vector<uint8_t>& data) {
        ByteWriter dirBytes;
        for (const PackEntry& e : entries)
            WritePackEntry(dirBytes, e);
        Write("h.zpk", AssemblePackFile("h.zpk", dirBytes.Data(), count, data));
        return Open("h.zpk");
    }
};

TEST_F(HostileDirectoryTest, LyingEntriesFailTheOpen) {
    const std::string content = "sixteen bytes!!!";
    std::vector<uint8_t> packed = DeflateBytes(reinterpret_cast<const uint8_t*>(content.data()), content.size());
    const uint32_t n = static_cast<uint32_t>(content.size());

    const std::vector<uint8_t> abc = DeflateBytes(reinterpret_cast<const uint8_t*>("abc"), 3);
    PackEntry badCrc = Entry("a.dat", 0, 3, abc);
    badCrc.crc ^= 1;
    // Each could be inflated from its packed size; only together do they pass 4 GB.
    PackEntry half = Entry("a.dat", 0, 0x80000000u, packed);
    half.packedSize = 0x200000;
    PackEntry otherHalf = half;
    std::strcpy(otherHalf.name, "b.dat");
    otherHalf.offset = 0x80000000u;

    PackEntry unterminated = Entry("a.dat", 0, n, packed);
    std::memset(unterminated.name, 'x', sizeof unterminated.name);

    std::vector<Hostile> cases = {
        {"sound", {Entry("a.dat", 0, n, packed)}, 1, 0},
        {"offset past the block", {Entry("a.dat", 1, n, packed)}, 1, PACK_BAD_DEFLATE},
        {"offset and size wrap around", {Entry("a.dat", 0xFFFFFFF8u, n, packed)}, 1, PACK_BAD_DEFLATE},
        {"declared size larger than the content", {Entry("a.dat", 0, n + 4, packed)}, 1, PACK_BAD_DEFLATE},
        {"declared size smaller than the content", {Entry("a.dat", 0, n - 4, packed)}, 1, PACK_BAD_DEFLATE},
        {"size no packed bytes could hold", {Entry("a.dat", 0, 0x7FFFFFFF, packed)}, 1, PACK_BAD_DEFLATE},
        {"unterminated name", {unterminated}, 1, PACK_BAD_DEFLATE},
        {"count above the directory", {Entry("a.dat", 0, n, packed)}, 2, PACK_BAD_DEFLATE},
        {"count below the directory", {Entry("a.dat", 0, n, packed), Entry("b.dat", n, n, packed)}, 1,
         PACK_BAD_DEFLATE},
        // 0x40000001 x 284 is 284 in 32 bits.
        {"count whose size overflows", {Entry("a.dat", 0, n, packed)}, 0x40000001u, PACK_BAD_DEFLATE},
        {"sizes summing past 4 GB",
         {Entry("a.dat", 0, 0xFFFFFFF0u, packed), Entry("b.dat", 0, 0x20, packed)}, 2, PACK_BAD_DEFLATE},
        {"sizes summing past 4 GB, each reachable from its packed size", {half, otherHalf}, 2, PACK_BAD_DEFLATE},
        {"a 3-byte entry whose checksum matches", {Entry("a.dat", 0, 3, abc)}, 1, 0, abc},
        {"a 3-byte entry whose checksum is one bit off", {badCrc}, 1, PACK_BAD_CRC, abc},
    };
    for (const Hostile& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<uint8_t>& bytes = c.packed.empty() ? packed : c.packed;
        std::vector<uint8_t> data;
        for (size_t i = 0; i < c.entries.size(); ++i)
            data.insert(data.end(), bytes.begin(), bytes.end());
        EXPECT_EQ(OpenAssembled(c.entries, c.count, data), c.code == 0 ? 0 : -1);
        EXPECT_EQ(pack.errorCode, c.code);
        if (c.code != 0) {
            EXPECT_FALSE(pack.dataBlock);
        } else {
            PackEntry e;
            ASSERT_EQ(pack.FindPackEntry("a.dat", &e), 0);
            EXPECT_EQ(Text(pack, e), c.packed.empty() ? content : std::string("abc"));
        }
    }
}

// Every entry keeps at least an 8-byte zlib stream in the data area, so a small file cannot ask
// for a table of more entries than that; a file that holds them all opens.
TEST_F(HostileDirectoryTest, TheEntryCountIsBoundByTheDataArea) {
    const uint32_t count = 4000;
    const std::vector<uint8_t> emptyStream = DeflateBytes(nullptr, 0);
    ASSERT_EQ(emptyStream.size(), 8u);
    ByteWriter dirBytes;
    std::vector<uint8_t> data;
    for (uint32_t i = 0; i < count; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "e%06u.dat", i);
        PackEntry e = Entry(name, 0, 0, emptyStream);
        WritePackEntry(dirBytes, e);
        data.insert(data.end(), emptyStream.begin(), emptyStream.end());
    }
    const struct {
        const char* what;
        size_t dataBytes;
        int code;
    } cases[] = {
        {"no data area", 0, PACK_CANNOT_OPEN},
        {"one byte short", data.size() - 1, PACK_CANNOT_OPEN},
        {"every entry's stream", data.size(), 0},
    };
    for (const auto& c : cases) {
        Write("h.zpk", AssemblePackFile("h.zpk", dirBytes.Data(), count,
                                        std::vector<uint8_t>(data.begin(), data.begin() + c.dataBytes)));
        for (int mode : {1, 0}) {
            SCOPED_TRACE(std::string(c.what) + ", mode " + std::to_string(mode));
            EXPECT_EQ(Open("h.zpk", mode), c.code == 0 ? 0 : -1);
            EXPECT_EQ(pack.errorCode, c.code);
            EXPECT_EQ(pack.entryCount, c.code == 0 ? count : 0u);
            PackEntry e;
            EXPECT_EQ(pack.FindPackEntry("E003999.DAT", &e), c.code == 0 ? 0 : -1);
        }
    }
}

TEST_F(HostileDirectoryTest, PackedSizesPastTheFileFailAsUnreadable) {
    std::vector<uint8_t> packed = DeflateBytes(reinterpret_cast<const uint8_t*>("abc"), 3);
    PackEntry e = Entry("a.dat", 0, 3, packed);
    e.packedSize = 1u << 30;
    EXPECT_EQ(OpenAssembled({e}, 1, packed), -1);
    EXPECT_EQ(pack.errorCode, PACK_CANNOT_OPEN);
}

}  // namespace
