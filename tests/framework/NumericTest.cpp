#include "framework/Numeric.h"

#include <gtest/gtest.h>

using fw::FirstChars;
using fw::ParseUnsigned;

TEST(NumericField, DecimalFollowsStrtoul)
{
    EXPECT_EQ(ParseUnsigned("1024", 10), 1024u);
    EXPECT_EQ(ParseUnsigned("   42", 10), 42u);          // leading white space
    EXPECT_EQ(ParseUnsigned("+7", 10), 7u);
    EXPECT_EQ(ParseUnsigned("-1", 10), 0xFFFFFFFFu);     // negated modulo 2^32
    EXPECT_EQ(ParseUnsigned("-5", 10), 0xFFFFFFFBu);
    EXPECT_EQ(ParseUnsigned("12ab", 10), 12u);           // stops at the first non-digit
    EXPECT_EQ(ParseUnsigned("abc", 10), 0u);             // no leading digits
    EXPECT_EQ(ParseUnsigned("", 10), 0u);
    EXPECT_EQ(ParseUnsigned("4294967295", 10), 0xFFFFFFFFu);
    EXPECT_EQ(ParseUnsigned("4294967296", 10), 0xFFFFFFFFu); // too large
    EXPECT_EQ(ParseUnsigned("99999999999999999999999", 10), 0xFFFFFFFFu);
    EXPECT_EQ(ParseUnsigned("-99999999999", 10), 0xFFFFFFFFu);
    EXPECT_EQ(ParseUnsigned("0x10", 10), 0u);            // no prefix in base 10
}

TEST(NumericField, HexFollowsStrtoul)
{
    EXPECT_EQ(ParseUnsigned("1F", 16), 0x1Fu);
    EXPECT_EQ(ParseUnsigned("0x1f", 16), 0x1Fu);
    EXPECT_EQ(ParseUnsigned(" 0XBEEF", 16), 0xBEEFu);
    EXPECT_EQ(ParseUnsigned("12G4", 16), 0x12u);
    EXPECT_EQ(ParseUnsigned("G", 16), 0u);
    EXPECT_EQ(ParseUnsigned("-0x10", 16), 0xFFFFFFF0u);
    EXPECT_EQ(ParseUnsigned("FFFFFFFF", 16), 0xFFFFFFFFu);
    EXPECT_EQ(ParseUnsigned("100000000", 16), 0xFFFFFFFFu);
}

TEST(NumericField, FetchCutsByCharacters)
{
    EXPECT_EQ(FirstChars("1234567890123456789", 15), "123456789012345");
    EXPECT_EQ(FirstChars("ab", 15), "ab");
    EXPECT_EQ(FirstChars("ＡＢＣ", 2), "ＡＢ"); // characters, not bytes
    EXPECT_EQ(FirstChars("xyz", -1), "xyz");
    // A 16-digit number keeps only 15 digits before conversion.
    EXPECT_EQ(ParseUnsigned(FirstChars("0000000000000012", 15), 10), 1u);
}
