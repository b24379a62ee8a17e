// A whole PDF document, written as it is drawn: images when they are added,
// each page's content and page object when the page is done, and the fonts
// (each face embedded once, subset to what was shown), the page tree, the
// structure tree and the catalogue at the end. Every document is PDF/A-2u
// (XMP metadata, an sRGB output intent, every glyph mapped to Unicode) and
// tagged: what is drawn is either body text, in paragraphs, or an artifact.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "pelm32/pdf/byte_sink.h"
#include "pelm32/pdf/content_stream.h"
#include "pelm32/pdf/deflate.h"
#include "pelm32/pdf/object_writer.h"
#include "pelm32/pdf/pdf_fonts.h"
#include "pelm32/pdf/sfnt.h"
#include "pelm32/pdf/structure_tree.h"

namespace pelm32::pdf {

class EmbeddedFace;

// Decoded pixels, rows top to bottom.
struct Pixels {
    uint32_t width = 0;
    uint32_t height = 0;
    const uint8_t* rgb = nullptr;    // 3 bytes a pixel
    const uint8_t* alpha = nullptr;  // 1 byte a pixel, or null when opaque
};

class PdfWriter {
  public:
    // Every page has the given size, in points.
    PdfWriter(ByteSink& sink, Deflater& deflater, double pageWidth, double pageHeight);
    ~PdfWriter();
    PdfWriter(const PdfWriter&) = delete;
    PdfWriter& operator=(const PdfWriter&) = delete;

    // Writes an image (lossless, with a soft mask when it has alpha) and
    // returns the number to draw it with; -1 for an empty image.
    int AddImage(const Pixels& pixels);
    // Makes a face known for text; the face must outlive the writer.
    int AddFace(const SfntFace& face);

    // Text at a baseline start (x, y), PDF space. Windows-1252 codes go
    // through the face's simple TrueType font; glyph ids (each with the
    // character it shows, for text extraction) through its Type0 font.
    void ShowWindows1252(ContentStream& content, int face, double size, double x, double y,
                         std::string_view codes);
    void ShowGlyphs(ContentStream& content, int face, double size, double x, double y,
                    const uint16_t* glyphs, const char32_t* characters, size_t count);
    // Glyphs each at its own place from (x, y).
    void ShowPlacedGlyphs(ContentStream& content, int face, double size, double x, double y,
                          const PlacedGlyph* glyphs, size_t count);
    void DrawImage(ContentStream& content, int image, double left, double bottom, double width,
                   double height);

    // What is drawn until EndMarked: page furniture (a pagination
    // artifact), or body text of the current paragraph on the page being
    // drawn, standing for actualText when that is given. Each marked
    // sequence lies within one content stream.
    void BeginArtifact(ContentStream& content);
    void BeginBodyText(ContentStream& content, std::u32string_view actualText = {});
    void EndMarked(ContentStream& content);
    // Body text that follows begins a new paragraph.
    void EndParagraph();

    // Writes a finished content stream; the number is for AddPage, and one
    // stream may serve many pages.
    uint32_t PutContent(const ContentStream& content);
    // A form XObject of the page's size, to be drawn now and given its
    // content later with PutForm, before Finish: what a page draws before
    // it is known.
    int ReserveForm();
    void DrawForm(ContentStream& content, int form);
    void PutForm(int form, const ContentStream& content);
    // The next page: its content is the given streams, in order.
    void AddPage(const std::vector<uint32_t>& contents);

    // Fonts, page tree, structure, metadata and catalogue; then the file is
    // complete. titleUtf8 goes to the document information and the XMP,
    // language (BCP 47, "en-GB") to the catalogue. False when any write
    // failed.
    bool Finish(std::string_view titleUtf8, std::string_view creator,
                std::string_view language = "en");

  private:
    EmbeddedFace& FaceFor(int face);
    uint32_t PageParent();
    // The object of the page being drawn, numbered on first use.
    uint32_t CurrentPage();
    uint32_t PutOutputIntent();
    std::string PageBoxAndResources() const;
    uint32_t PutPageTree();

    ObjectWriter objects_;
    double pageWidth_;
    double pageHeight_;
    uint32_t resources_;
    std::vector<std::unique_ptr<EmbeddedFace>> faces_;
    int nextFontResource_ = 1;
    std::vector<uint32_t> imageObjects_;
    std::vector<uint32_t> formObjects_;
    // Pages in order, and the leaf nodes of the page tree they hang from.
    std::vector<uint32_t> pages_;
    std::vector<uint32_t> leaves_;
    uint32_t page_ = 0;
    StructureTree structure_;
    std::string scratch_;
};

}  // namespace pelm32::pdf
