#include "runtime/text_operations.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/error_numbers.h"

namespace {
DynamicString Bytes(const std::string& bytes) {
    return DynamicString(bytes.data(), static_cast<std::int64_t>(bytes.size()));
}
}  // namespace

TEST(Concatenate, JoinsBytesIncludingZerosAndHandlesEmptySides) {
    EXPECT_EQ(Concatenate("Error on pmStartDoc=", " 0").View(), "Error on pmStartDoc= 0");
    EXPECT_EQ(Concatenate(DynamicString(), "abc").View(), "abc");
    EXPECT_EQ(Concatenate("abc", DynamicString()).View(), "abc");
    EXPECT_TRUE(Concatenate(DynamicString(), DynamicString()).IsEmpty());
    DynamicString joined = Concatenate(Bytes(std::string("a\0", 2)), Bytes(std::string("\0b", 2)));
    EXPECT_EQ(joined.View(), std::string_view("a\0\0b", 4));
    EXPECT_EQ(joined.Data()[4], 0);
    EXPECT_EQ(joined.Data()[5], 0);
}

TEST(CompareText, OrdersByUnsignedBytesThenByLength) {
    struct Case {
        std::string a, b;
        int expected;
    };
    const std::vector<Case> cases = {
        {"", "", 0},
        {"", "a", -1},
        {"a", "", 1},
        {"AB", "ABC", -1},
        {"ABC", "AB", 1},
        {"A", "a", -1},
        {".page.", ".PAGE.", 1},
        {".PAGE.", ".PAGE.", 0},
        {"\xC8", "A", 1},  // byte 200 is above byte 65, not a negative char
        {std::string("a\0b", 3), std::string("a\0c", 3), -1},
        {std::string("a\0", 2), "a", 1},
    };
    for (const Case& c : cases) {
        int result = CompareText(Bytes(c.a), Bytes(c.b));
        int sign = (result > 0) - (result < 0);
        EXPECT_EQ(sign, c.expected) << "'" << c.a << "' vs '" << c.b << "'";
    }
}

TEST(Trim, RemovesOnlyByte32) {
    struct Case {
        std::string input, leading, trailing;
    };
    const std::vector<Case> cases = {
        {"  .PAGE.  ", ".PAGE.  ", "  .PAGE."},
        {"\t.PAGE. ", "\t.PAGE. ", "\t.PAGE."},
        {"   ", "", ""},
        {"", "", ""},
        {std::string(" \0 ", 3), std::string("\0 ", 2), std::string(" \0", 2)},
        {"a \r", "a \r", "a \r"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TrimLeadingSpaces(Bytes(c.input)).ToStdString(), c.leading);
        EXPECT_EQ(TrimTrailingSpaces(Bytes(c.input)).ToStdString(), c.trailing);
    }
    EXPECT_EQ(TrimTrailingSpaces(TrimLeadingSpaces("  .PAGE.  ")).View(), ".PAGE.");
}

TEST(Trim, HandsBackItsInputWhenNothingIsRemoved) {
    DynamicString s("abc");
    const char* bytes = s.Data();
    DynamicString leading = TrimLeadingSpaces(std::move(s));
    EXPECT_EQ(leading.Data(), bytes);
    DynamicString trailing = TrimTrailingSpaces(std::move(leading));
    EXPECT_EQ(trailing.Data(), bytes);
}

TEST(TextLength, CountsZeroBytesInsideButNotTheStoredTerminators) {
    EXPECT_EQ(TextLength(DynamicString()), 0);
    EXPECT_EQ(TextLength("Courier New"), 11);
    EXPECT_EQ(TextLength(Bytes(std::string("a\0\0", 3))), 3);
}

TEST(ReplaceAll, ReplacesLeftToRightWithoutOverlaps) {
    struct Case {
        std::string s, find, replacement, expected;
    };
    const std::vector<Case> cases = {
        {"aaa", "aa", "b", "ba"},   {"aaaa", "aa", "b", "bb"}, {"abcabc", "bc", "XYZ", "aXYZaXYZ"},
        {"abc", "x", "y", "abc"},   {"abc", "", "y", "abc"},   {"", "a", "y", ""},
        {"ab", "abc", "y", "ab"},   {"a|b|", "|", "", "ab"},   {"||", "|", "", ""},
        {"ABab", "ab", "-", "AB-"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReplaceAll(Bytes(c.s), Bytes(c.find), Bytes(c.replacement)).ToStdString(),
                  c.expected)
            << c.s << " / " << c.find;
    }
}

TEST(ReplaceAll, PutsZeroBytesIntoAFilterList) {
    DynamicString filter = ReplaceAll("Text|*.txt|", "|", Bytes(std::string(1, '\0')));
    ASSERT_EQ(TextLength(filter), 11);
    EXPECT_EQ(filter.View(), std::string_view("Text\0*.txt\0", 11));
    // The stored zeros after the string end the list with three zeros in a row.
    EXPECT_EQ(filter.Data()[11], 0);
    EXPECT_EQ(filter.Data()[12], 0);
}

TEST(ReplaceAll, AResultPastTheLengthLimitRecordsBadArgument) {
    ErrorSlot slot;
    // 2^16 matches, each growing by 2^15 bytes: 2^31 + 2^16 bytes.
    DynamicString s = DynamicString::OfLength(65536);
    std::memset(s.MutableData(), 'x', 65536);
    DynamicString big = DynamicString::OfLength(32769);
    DynamicString result = ReplaceAll(s, "x", big);
    EXPECT_TRUE(result.IsEmpty());
    EXPECT_EQ(ReadAndClearErrorNumber(), 5);
}

TEST(CopyToFixedBuffer, CutsToSizeMinusOneAndEndsWithAZero) {
    std::vector<char> face(48, '#');
    CopyToFixedBuffer("Courier New", face.data(), 48);
    EXPECT_STREQ(face.data(), "Courier New");
    EXPECT_EQ(face[12], '#');  // bytes after the terminator keep their contents

    std::string path(300, 'p');
    std::vector<char> buffer(260, '#');
    CopyToFixedBuffer(Bytes(path), buffer.data(), 260);
    EXPECT_EQ(std::string(buffer.data()), std::string(259, 'p'));
    EXPECT_EQ(buffer[259], 0);

    std::vector<char> exact(4, '#');
    CopyToFixedBuffer("abc", exact.data(), 4);
    EXPECT_EQ(std::string(exact.data(), 4), std::string("abc\0", 4));
}

TEST(CopyToFixedBuffer, StopsAfterAnEmbeddedZeroAndWritesOneZeroForEmpty) {
    std::vector<char> buffer(8, '#');
    CopyToFixedBuffer(Bytes(std::string("ab\0cd", 5)), buffer.data(), 8);
    EXPECT_EQ(std::string(buffer.data(), 8), std::string("ab\0#####", 8));

    std::vector<char> empty(4, '#');
    CopyToFixedBuffer(DynamicString(), empty.data(), 4);
    EXPECT_EQ(std::string(empty.data(), 4), std::string("\0###", 4));

    char one = '#';
    CopyToFixedBuffer("abc", &one, 1);
    EXPECT_EQ(one, 0);
}

TEST(TextFromBuffer, TakesBytesUpToTheFirstZeroAtMostTwoTo24) {
    EXPECT_TRUE(TextFromBuffer(nullptr).IsEmpty());
    EXPECT_TRUE(TextFromBuffer("").IsEmpty());
    EXPECT_EQ(TextFromBuffer("C:/reports/a.txt\0junk").View(), "C:/reports/a.txt");

    std::vector<char> unterminated((1 << 24) + 16, 'z');
    unterminated.back() = 0;
    DynamicString cut = TextFromBuffer(unterminated.data());
    EXPECT_EQ(TextLength(cut), 1 << 24);
}

TEST(TextAddress, IsNeverTheNullAddress) {
    DynamicString empty;
    ASSERT_NE(TextAddress(empty), nullptr);
    EXPECT_EQ(TextAddress(empty)[0], 0);
    DynamicString s("Select File To Print");
    EXPECT_EQ(TextAddress(s), s.Data());
}
