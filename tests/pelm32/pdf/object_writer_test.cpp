#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <numeric>

#include "pelm32/pdf/object_writer.h"
#include "tests/pelm32/pdf/pdf_check.h"

namespace pelm32::pdf {
namespace {

using pdf_check::PdfToText;
using pdf_check::QpdfClean;
using pdf_check::WriteTempPdf;

std::string PageContent(int page) {
    return "BT /F1 12 Tf 72 " + std::to_string(720 - page % 30 * 20) + " Td (Page " +
           std::to_string(page) + ")Tj ET ";
}

std::string Ref(uint32_t number) {
    return std::to_string(number) + " 0 R";
}

// The /N of each object stream in a file.
std::vector<int> ObjectStreamSizes(const std::string& pdf) {
    const std::string key = "/Type /ObjStm /N ";
    std::vector<int> sizes;
    for (size_t at = pdf.find(key); at != std::string::npos; at = pdf.find(key, at + 1)) {
        sizes.push_back(std::atoi(pdf.c_str() + at + key.size()));
    }
    return sizes;
}

// A megabyte of content: more than the writer's thread keeps up with, so
// streams are compressed on both sides and must still land in order.
TEST(ObjectWriter, ThousandPagesFillSeveralObjectStreamsAndWidenTheTable) {
    std::vector<std::string> contents;
    for (int page = 1; page <= 1000; ++page) {
        contents.push_back(PageContent(page) + std::string(1000, ' '));
    }
    const auto zlib = MakeZlibDeflater(6);
    for (Deflater* deflater : {zlib.get(), static_cast<Deflater*>(nullptr)}) {
        const std::string bytes = pdf_check::SimpleDocument(contents, deflater);
        const std::string pdf = WriteTempPdf(bytes);
        EXPECT_TRUE(QpdfClean(pdf));
        EXPECT_EQ(pdf_check::PdfPageCount(pdf), 1000);
        for (const int page : {1, 2, 377, 999, 1000}) {
            EXPECT_EQ(PdfToText(pdf, page), "Page " + std::to_string(page) + "\n\n\f") << page;
        }
        EXPECT_NE(bytes.find("/W [1 3 2]"), std::string::npos);
        const auto sizes = ObjectStreamSizes(bytes);
        EXPECT_EQ(std::accumulate(sizes.begin(), sizes.end(), 0), 1000 + 4);
        EXPECT_EQ(*std::max_element(sizes.begin(), sizes.end()), 200);
    }
    EXPECT_NE(pdf_check::SimpleDocument({"", ""}).find("/W [1 2 2]"), std::string::npos);
}

TEST(ObjectWriter, PlainAndDeflatedStreamsAndLargeObjectsReadBack) {
    const auto deflater = MakeDeflater();
    MemorySink sink;
    ObjectWriter writer(sink, *deflater);
    const uint32_t catalog = writer.NewObject(), pages = writer.NewObject();
    const uint32_t page = writer.NewObject(), font = writer.NewObject();
    const uint32_t plain = writer.NewObject(), deflated = writer.NewObject();
    writer.PutStream(plain, "", PageContent(1), false);
    std::string zlib;
    deflater->Compress(PageContent(2).data(), PageContent(2).size(), zlib);
    writer.PutDeflatedStream(deflated, "", zlib);
    // Over 64 KB: an object stream of its own.
    std::string widths(100000, ' ');
    writer.PutObject(
        font, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Pad [" + widths + "] >>");
    writer.PutObject(catalog, "<< /Type /Catalog /Pages " + Ref(pages) + " >>");
    writer.PutObject(pages, "<< /Type /Pages /Kids [" + Ref(page) + "] /Count 1 >>");
    writer.PutObject(page, "<< /Type /Page /Parent " + Ref(pages) +
                               " /MediaBox [0 0 612 792] /Resources << /Font << /F1 " + Ref(font) +
                               " >> >> /Contents [" + Ref(plain) + " " + Ref(deflated) + "] >>");
    ASSERT_TRUE(writer.Finish(catalog, 0, std::string(16, '\xAB')));
    EXPECT_EQ(writer.Offset(), sink.bytes.size());
    EXPECT_EQ(ObjectStreamSizes(sink.bytes), (std::vector<int>{1, 3}));
    const std::string pdf = WriteTempPdf(sink.bytes);
    EXPECT_TRUE(QpdfClean(pdf));
    EXPECT_EQ(PdfToText(pdf), "Page 1\nPage 2\n\n\f");
}

TEST(ObjectWriter, MisnumberedObjectsFailFinishWithoutATable) {
    const auto deflater = MakeDeflater();
    const struct {
        const char* what;
        void (*misuse)(ObjectWriter&, uint32_t catalog);
        uint32_t root;  // 0: the catalog
    } cases[] = {
        {"reserved, never put", [](ObjectWriter& w, uint32_t) { w.NewObject(); }, 0},
        {"put twice", [](ObjectWriter& w, uint32_t c) { w.PutObject(c, "<< >>"); }, 0},
        {"never reserved", [](ObjectWriter& w, uint32_t) { w.PutObject(99, "1"); }, 0},
        {"object 0", [](ObjectWriter& w, uint32_t) { w.PutStream(0, "", "x"); }, 0},
        {"root not an object", [](ObjectWriter&, uint32_t) {}, 7},
    };
    for (const auto& c : cases) {
        MemorySink sink;
        ObjectWriter writer(sink, *deflater);
        const uint32_t catalog = writer.NewObject();
        writer.PutObject(catalog, "<< /Type /Catalog >>");
        c.misuse(writer, catalog);
        EXPECT_FALSE(writer.Finish(c.root == 0 ? catalog : c.root, 0, "")) << c.what;
        EXPECT_EQ(sink.bytes.find("startxref"), std::string::npos) << c.what;
    }
}

// Takes a given number of writes, then fails every one.
struct FailingSink : ByteSink {
    explicit FailingSink(int accepted) : accepted(accepted) {}
    bool Write(const void*, size_t size) override {
        bytes += ++calls <= accepted ? size : 0;
        return calls <= accepted;
    }
    int accepted, calls = 0;
    uint64_t bytes = 0;
};

TEST(ObjectWriter, StopsAtTheFirstFailedWrite) {
    const auto deflater = MakeDeflater();
    for (int accepted = 0;; ++accepted) {
        FailingSink sink(accepted);
        ObjectWriter writer(sink, *deflater);
        const uint32_t catalog = writer.NewObject(), content = writer.NewObject();
        writer.PutObject(catalog, "<< /Type /Catalog >>");
        writer.PutStream(content, "", PageContent(1));
        const bool finished = writer.Finish(catalog, 0, std::string(16, '\0'));
        EXPECT_EQ(writer.Good(), finished);
        EXPECT_EQ(writer.Offset(), sink.bytes);
        if (finished) {
            EXPECT_GT(accepted, 5);  // the header's, each object's, the table's
            break;
        }
        EXPECT_EQ(sink.calls, accepted + 1) << "wrote on after a failure";
    }
}

}  // namespace
}  // namespace pelm32::pdf
