#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>

#include "pelm32/pdf/content_stream.h"
#include "pelm32/pdf/pdf_syntax.h"
#include "tests/pelm32/pdf/pdf_check.h"

namespace pelm32::pdf {
namespace {

using pdf_check::QpdfClean;
using pdf_check::SimpleDocument;
using pdf_check::WriteTempPdf;

TEST(ContentStream, NumbersAreShortRoundedAndBounded) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double points;
        const char* written;
    } cases[] = {
        {0, "0"},         {0.005, ".005"},      {-0.005, "-.005"}, {12, "12"},
        {-1.5, "-1.5"},   {123.456, "123.456"}, {10.25, "10.25"},  {-0.0004, "0"},
        {0.0005, ".001"}, {-0.0005, "-.001"},   {2.9996, "3"},     {1e6, "1000000"},
        {5e9, "1000000"}, {-inf, "-1000000"},   {inf, "1000000"},  {std::nan(""), "0"},
    };
    for (const auto& c : cases) {
        std::string out;
        AppendThousandths(out, ToThousandths(c.points));
        EXPECT_EQ(out, c.written) << c.points;
    }
    std::string out;
    AppendThousandths(out, std::numeric_limits<int64_t>::min());
    EXPECT_EQ(out, "-9223372036854775.808");
}

TEST(ContentStream, LinesCostOnlyWhatTheirPositionsNeedAndReadBackThere) {
    const struct {
        double size, x, y;
        const char* text;
    } lines[] = {{10, 72, 720, "a"},   {10, 72, 708, "b"}, {10, 72, 696, "c"},  // pitch 12
                 {10, 72, 682, "d"},   {10, 72, 668, "e"},                      // pitch 14
                 {10, 90, 654, "f"},   {10, 90, 640, "g"},                      // indented
                 {10.5, 90, 660, "h"},                                          // up, larger
                 {10.5, 90, 600, "i"}};                                         // after an image
    ContentStream content;
    for (const auto& line : lines) {
        if (line.text[0] == 'i') {
            content.Image(1, 10, 20, 100, 50.5);
        }
        content.Text(1, line.size, line.x, line.y, line.text, false);
    }
    content.Finish();
    content.Finish();
    EXPECT_EQ(content.Bytes(),
              "BT\n/F1 10 Tf\n72 720 Td (a)Tj\n12 TL (b)'\n(c)'\n14 TL (d)'\n(e)'\n"
              "18 -14 Td (f)Tj\n(g)'\n/F1 10.5 Tf\n0 20 Td (h)Tj\n"
              "ET\nq 100 0 0 50.5 10 20 cm /Im1 Do Q\nBT\n/F1 10.5 Tf\n90 600 Td (i)Tj\nET\n");

    const std::string pdf = WriteTempPdf(SimpleDocument({content.Bytes()}));
    ASSERT_TRUE(QpdfClean(pdf));
    std::map<std::string, pdf_check::Word> words;
    for (const auto& word : pdf_check::PdfWords(pdf)) {
        words[word.text] = word;
    }
    ASSERT_EQ(words.size(), std::size(lines));
    // Boxes are top-down: each bottom lies as far below the top of the page
    // as its baseline, give or take the font's descent.
    for (const auto& line : lines) {
        EXPECT_NEAR(words[line.text].xMin, line.x, 0.01) << line.text;
        EXPECT_NEAR(words[line.text].yMax + line.y, 792 + line.size * 0.207, 0.01) << line.text;
    }
}

TEST(ContentStream, HexStringsAndClear) {
    ContentStream content;
    content.Text(2, 12, 72, 720, std::string("\x00\x41\xAB\xCD", 4), true);
    content.Clear();
    content.Text(2, 12, 72, 720, std::string("\x00\x41\xAB\xCD", 4), true);
    EXPECT_EQ(content.Bytes(), "BT\n/F2 12 Tf\n72 720 Td <0041ABCD>Tj\n");
}

TEST(ContentStream, LiteralStringsSurviveEscaping) {
    // Unbalanced parentheses break the stream unless escaped; a raw CR would
    // be read as LF; 0xE9 is é in WinAnsiEncoding.
    ContentStream content;
    content.Text(1, 12, 72, 720, "a)b(c\\d\re\xE9", false);
    content.Text(1, 12, 72, 700, "(edge)", false);
    content.Finish();
    EXPECT_NE(content.Bytes().find("(a\\)b\\(c\\\\d\\re\xE9)Tj"), std::string::npos);
    EXPECT_NE(content.Bytes().find("(\\(edge\\))'"), std::string::npos);
    const std::string pdf = WriteTempPdf(SimpleDocument({content.Bytes()}));
    EXPECT_TRUE(QpdfClean(pdf));
    std::string errors;
    const std::string text = pdf_check::PdfToText(pdf, 0, &errors);
    EXPECT_NE(text.find("a)b(c\\d"), std::string::npos) << text;
    EXPECT_NE(text.find("e\xC3\xA9"), std::string::npos) << text;
    EXPECT_EQ(errors, "");
}

}  // namespace
}  // namespace pelm32::pdf
