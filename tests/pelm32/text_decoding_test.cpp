#include "pelm32/core/text_decoding.h"
#include "pelm32/pdf/utf8.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::u32string Decode(const std::string& bytes) {
    pelm32::TextCursor cursor(bytes.data(), bytes.size());
    std::u32string out;
    char32_t c;
    while (cursor.Next(c)) {
        out += c;
    }
    return out;
}

TEST(TextDecoding, ValidUtf8IsUtf8AndAnythingElseIsWindows1252) {
    const struct {
        const char* name;
        std::string bytes;
        std::u32string expected;
    } cases[] = {
        {"ascii", "Page 1", U"Page 1"},
        {"utf8 two and three bytes",
         "Gr\xC3\xBC\xC3\x9F"
         "e \xE2\x82\xAC",
         U"Grüße €"},
        {"utf8 four bytes", "\xF0\x9F\x98\x80", U"\U0001F600"},
        {"1252 letters and euro",
         "Gr\xFC\xDF"
         "e \x80",
         U"Grüße €"},
        {"1252 quotes and dashes", "\x93quoted\x94 \x96 \x97", U"\u201Cquoted\u201D \u2013 \u2014"},
        {"one bad byte makes the whole text 1252", "\xC3\xBC then \xFC", U"Ã¼ then ü"},
        {"truncated sequence", "ab\xE2\x82", U"abâ\u201A"},
        {"overlong encoding is not utf8", "\xC0\xAF", U"À¯"},
        {"encoded surrogate is not utf8", "\xED\xA0\x80", U"í\u00A0\u20AC"},
        {"1252 holes show as blanks",
         "a\x81\x8D\x8F\x90\x9D"
         "b",
         U"a     b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Decode(c.bytes), c.expected) << c.name;
    }
}

TEST(TextDecoding, TabsStopEveryEightColumnsAndControlsAreBlanks) {
    const struct {
        std::string bytes;
        std::u32string expected;
    } cases[] = {
        {"\tx", U"        x"},
        {"abc\tx", U"abc     x"},
        {"abcdefg\tx", U"abcdefg x"},
        {"abcdefgh\tx", U"abcdefgh        x"},
        {"\t\tx", U"                x"},
        {"\xC3\xBC\tx", U"ü       x"},  // columns count characters, not bytes
        {"a\x01\x1B\x7F"
         "b",
         U"a   b"},
        {"line\nnext\rend\f", U"line next end "},
        {"\xC2\x85"
         "c1",
         U" c1"},  // a C1 control in UTF-8
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Decode(c.bytes), c.expected) << c.bytes;
    }
}

TEST(TextDecoding, ValidityIsJudgedOnTheWholeText) {
    std::string text(100000, 'a');
    text += "\xC3\xA9";
    EXPECT_TRUE(pelm32::pdf::IsValidUtf8(text.data(), text.size()));
    text += "\xE9";
    EXPECT_FALSE(pelm32::pdf::IsValidUtf8(text.data(), text.size()));
    EXPECT_TRUE(pelm32::pdf::IsValidUtf8("", 0));
}

}  // namespace
