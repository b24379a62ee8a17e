// The painter (preview and printer) against the PDF: the same pages
// rasterised both ways, by poppler from the file and by Qt from the spool,
// must agree within what anti-aliasing alone explains.
#include <unistd.h>

#include <gtest/gtest.h>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "pelm32/core/document.h"
#include "pelm32/core/document_pdf.h"
#include "pelm32/pdf/byte_sink.h"
#include "pelm32/qt/page_painter.h"
#include "pelm32/qt/qt_setup.h"
#include "tests/pelm32/pdf_tools.h"
#include "tests/pelm32/raster_agreement.h"

namespace {

using namespace pelm32_test;
using namespace raster_agreement;

constexpr int kDpi = 72;

Gray FromQImage(const QImage& painted) {
    const QImage gray = painted.convertToFormat(QImage::Format_Grayscale8);
    Gray image{gray.width(), gray.height(), {}};
    for (int y = 0; y < gray.height(); ++y) {
        image.pixels.insert(image.pixels.end(), gray.constScanLine(y),
                            gray.constScanLine(y) + gray.width());
    }
    return image;
}

class PaintedPages : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pelm32::EnsureApplication());
        std::string pattern = "/tmp/painted-pages-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        for (const char* bitmap : {"Logo.bmp", "watermark.bmp"}) {
            std::ifstream in(std::string(PELM32_EXAMPLES_DIR) + "/" + bitmap, std::ios::binary);
            std::ofstream(folder_ + "/" + bitmap, std::ios::binary) << in.rdbuf();
        }
        ASSERT_EQ(chdir(folder_.c_str()), 0);
    }
    void TearDown() override {
        (void)chdir("/");
        RunCommand("rm -rf " + Quoted(folder_));
    }

    // Writes the document's PDF and rasterises page (1-based) with poppler.
    Gray FromPdf(const pelm32::Document& document, int page) {
        const std::string pdf = folder_ + "/pages.pdf";
        pelm32::pdf::MemorySink sink;
        std::string why;
        EXPECT_TRUE(pelm32::WriteDocumentPdf(document, sink, why)) << why;
        std::ofstream(pdf, std::ios::binary) << sink.bytes;
        const std::string stem = folder_ + "/page";
        RunCommand("pdftoppm -gray -r " + std::to_string(kDpi) + " -singlefile -f " +
                   std::to_string(page) + " -l " + std::to_string(page) + " " + Quoted(pdf) + " " +
                   Quoted(stem));
        return ReadPgm(stem + ".pgm");
    }

    // Paints page (0-based) as the preview does, at the size of like.
    static Gray Painted(const pelm32::Document& document, int index, const Gray& like,
                        double shiftPoints = 0) {
        QImage image(like.width, like.height, QImage::Format_RGB32);
        image.setDotsPerMeterX(static_cast<int>(std::lround(kDpi / 0.0254)));
        image.setDotsPerMeterY(static_cast<int>(std::lround(kDpi / 0.0254)));
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                               QPainter::SmoothPixmapTransform);
        painter.translate(shiftPoints * kDpi / 72.0, 0);
        pelm32::PagePainter pages(document);
        EXPECT_TRUE(pages.Paint(painter, index));
        painter.end();
        return FromQImage(image);
    }

    std::string folder_;
};

TEST_F(PaintedPages, PainterAndPdfAgreeOnFurnitureTextInAnyScriptAndClippedText) {
    pelm32::Document document("Painted", pelm32::kA4);
    const int32_t logo = document.AddGraphic("Logo.bmp");
    const int32_t watermark = document.AddGraphic("watermark.bmp");

    // A page of furniture and body lines.
    FurnishedPage(document, logo, watermark);
    // Windows-1252 and UTF-8 text, two sizes.
    document.NewPage();
    const char* scripts[] = {
        "Windows-1252: Gr\xFC\xDF"
        "e \x80 \x93quoted\x94 na\xEFve",
        "UTF-8: Gr\xC3\xBC\xC3\x9F"
        "e \xE2\x82\xAC",
        "Greek \xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7\xCE\xBC\xCE\xAD\xCF\x81\xCE\xB1",
        "Cyrillic \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82",
        "CJK \xE4\xB8\xAD\xE6\x96\x87\xE5\xAD\x97\xE7\xAC\xA6",
        "Shaped \xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D \xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7 "
        "\xE0\xA4\xA8\xE0\xA4\xAE\xE0\xA4\xB8\xE0\xA5\x8D\xE0\xA4\xA4\xE0\xA5\x87",
    };
    TextsAtTwoSizes(document, scripts);
    // Text and a graphic cut by the edges of the page.
    document.NewPage();
    document.SetFont(16.0, "Courier New");
    document.Text(-1.0f, 2.0f, "LEFT-CUT 0123456789 the rest shows");
    document.Text(5.0f, 3.0f, "this line runs far past the right edge of the page");
    document.Text(1.0f, 11.6f, "half below the bottom edge");
    document.DrawGraphic(logo, 7.5f, 5.0f, 9.0f, 6.5f);
    ASSERT_TRUE(document.Finish());

    for (int index = 0; index < document.PageTotal(); ++index) {
        const Gray pdf = FromPdf(document, index + 1);
        ASSERT_GT(pdf.width, 200) << "poppler drew nothing for page " << index + 1;
        const Gray painted = Painted(document, index, pdf);
        const Difference same = Compare(pdf, painted);
        EXPECT_TRUE(Agrees(same)) << "page " << index + 1 << ": relative " << same.relative
                                  << ", strays " << same.strays;
        // The measure tells pages apart, and a shift of two points.
        const Difference other =
            Compare(pdf, Painted(document, (index + 1) % document.PageTotal(), pdf));
        EXPECT_FALSE(Agrees(other)) << "page " << index + 1 << " against another";
        const Difference shifted = Compare(pdf, Painted(document, index, pdf, 2.0));
        EXPECT_FALSE(Agrees(shifted)) << "page " << index + 1 << " shifted: relative "
                                      << shifted.relative << ", strays " << shifted.strays;
    }
}

}  // namespace
