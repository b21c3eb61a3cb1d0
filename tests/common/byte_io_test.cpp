#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "common/byte_reader.h"
#include "common/byte_writer.h"

TEST(ByteIo, RoundTripBothByteOrders) {
    ByteWriter w;
    w.U8(0xAB);
    w.U16LE(0x1234);
    w.U32LE(0xDEADBEEF);
    w.U16BE(0x1234);
    w.U32BE(0xDEADBEEF);
    w.I32LE(-5);
    w.F32LE(1.5f);
    w.U64LE(0x0102030405060708ull);
    ASSERT_EQ(w.Size(), 1u + 2 + 4 + 2 + 4 + 4 + 4 + 8);
    // Byte order on the wire and on disk.
    EXPECT_EQ(w.Data()[1], 0x34);
    EXPECT_EQ(w.Data()[7], 0x12);

    ByteReader r(w.Data().data(), w.Size());
    EXPECT_EQ(r.U8(), 0xAB);
    EXPECT_EQ(r.U16LE(), 0x1234);
    EXPECT_EQ(r.U32LE(), 0xDEADBEEFu);
    EXPECT_EQ(r.U16BE(), 0x1234);
    EXPECT_EQ(r.U32BE(), 0xDEADBEEFu);
    EXPECT_EQ(r.I32LE(), -5);
    EXPECT_EQ(r.F32LE(), 1.5f);
    EXPECT_EQ(r.U64LE(), 0x0102030405060708ull);
    EXPECT_TRUE(r.AtEnd());
    EXPECT_TRUE(r.Ok());
}

TEST(ByteIo, ShortReadFailsWithoutConsuming) {
    const uint8_t data[3] = {1, 2, 3};
    ByteReader r(data, sizeof data);
    EXPECT_EQ(r.U16LE(), 0x0201);
    EXPECT_EQ(r.U32LE(), 0u);  // only one byte left
    EXPECT_FALSE(r.Ok());
    EXPECT_EQ(r.Position(), 2u);
    EXPECT_EQ(r.U8(), 3);  // what remains can still be read; the failure stays recorded
    EXPECT_FALSE(r.Ok());
}

TEST(ByteIo, ItemCountsCannotOverflow) {
    const uint8_t data[16] = {};
    ByteReader r(data, sizeof data);
    EXPECT_TRUE(r.NeedItems(4, 4));
    EXPECT_FALSE(r.NeedItems(5, 4));
    ByteReader r2(data, sizeof data);
    EXPECT_FALSE(r2.NeedItems(0x4000000000000001ull, 4));  // would wrap to 4 bytes
    ByteReader r3(data, sizeof data);
    EXPECT_FALSE(r3.Seek(17));
    EXPECT_TRUE(ByteReader(data, sizeof data).Seek(16));
}

TEST(ByteIo, FixedTextIsBoundedAndTerminated) {
    ByteWriter w;
    w.FixedText("abcdefgh", 6);  // cut to five characters and a terminator
    EXPECT_EQ(w.Size(), 6u);
    EXPECT_EQ(w.Data()[5], 0);

    const char field[8] = {'x', 'y', 'z', 'w', 'v', 'u', 't', 's'};  // no terminator at all
    ByteReader r(field, sizeof field);
    char out[4];
    ASSERT_TRUE(r.FixedText(out, sizeof out, 8));
    EXPECT_STREQ(out, "xyz");
    EXPECT_TRUE(r.AtEnd());

    ByteReader shortField(field, 3);
    char out2[16] = "junk";
    EXPECT_FALSE(shortField.FixedText(out2, sizeof out2, 8));
    EXPECT_STREQ(out2, "");
}

TEST(ByteIo, CTextNeedsItsTerminatorWithinTheLimit) {
    const char good[] = "name\0rest";
    ByteReader r(good, sizeof good);
    std::string s;
    ASSERT_TRUE(r.CText(s, 10));
    EXPECT_EQ(s, "name");
    EXPECT_EQ(r.Position(), 5u);

    const char unterminated[4] = {'a', 'b', 'c', 'd'};
    ByteReader r2(unterminated, sizeof unterminated);
    EXPECT_FALSE(r2.CText(s, 10));
    ByteReader r3(good, sizeof good);
    EXPECT_FALSE(r3.CText(s, 3));  // longer than allowed

    // No limit at all, and nothing to read.
    ByteReader r4(good, sizeof good);
    ASSERT_TRUE(r4.CText(s, SIZE_MAX));
    EXPECT_EQ(s, "name");
    ByteReader empty;
    EXPECT_FALSE(empty.CText(s, 10));
    EXPECT_FALSE(empty.Ok());
}

TEST(ByteIo, PatchRewritesInPlace) {
    ByteWriter w;
    w.U16LE(0);
    w.U32LE(0);
    w.PatchU16BE(0, 0x0102);
    w.PatchU32LE(2, 0x0A0B0C0D);
    EXPECT_EQ(w.Data()[0], 1);
    EXPECT_EQ(w.Data()[1], 2);
    EXPECT_EQ(w.Data()[2], 0x0D);
    EXPECT_EQ(w.Data()[5], 0x0A);
}
