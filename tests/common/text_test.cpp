#include <gtest/gtest.h>

#include "common/text.h"

TEST(Text, CopyAndFormatAreBounded) {
    char buf[5];
    CopyText(buf, "abcdefgh");
    EXPECT_STREQ(buf, "abcd");
    CopyText(buf, "ab");
    EXPECT_STREQ(buf, "ab");
    FormatText(buf, sizeof buf, "%d-%s", 12345, "x");
    EXPECT_STREQ(buf, "1234");
}

TEST(Text, CaseInsensitiveComparisons) {
    EXPECT_TRUE(EqualsNoCase("Arena00", "arena00"));
    EXPECT_FALSE(EqualsNoCase("arena0", "arena00"));
    EXPECT_TRUE(StartsWithNoCase("ARENA00]", "arena0"));
    EXPECT_FALSE(StartsWithNoCase("are", "arena"));
}
