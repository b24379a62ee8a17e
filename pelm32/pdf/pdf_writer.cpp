#include "pelm32/pdf/pdf_writer.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "pelm32/pdf/archive_metadata.h"
#include "pelm32/pdf/pdf_fonts.h"
#include "pelm32/pdf/pdf_syntax.h"
#include "pelm32/pdf/png_predictor.h"
#include "pelm32/pdf/srgb_profile.h"
#include "pelm32/pdf/utf8.h"

namespace pelm32::pdf {

namespace {

constexpr size_t kKidsPerNode = 64;

void AppendReferences(std::string& out, const uint32_t* numbers, size_t count) {
    out += '[';
    for (size_t i = 0; i < count; ++i) {
        out += i == 0 ? "" : " ";
        AppendReference(out, numbers[i]);
    }
    out += ']';
}

// A text string: PDFDocEncoding where it is printable ASCII, else UTF-16BE
// with its byte order mark, as hex.
std::string TextString(std::string_view utf8) {
    const bool ascii = std::all_of(utf8.begin(), utf8.end(), [](char c) {
        return static_cast<uint8_t>(c) >= 0x20 && static_cast<uint8_t>(c) < 0x7F;
    });
    std::string out;
    if (ascii) {
        AppendLiteral(out, utf8);
        return out;
    }
    out += "<FEFF";
    for (const char32_t c : DecodeUtf8(utf8.data(), utf8.size())) {
        AppendUtf16Hex(out, c);
    }
    return out + '>';
}

// Sixteen bytes that tell this file from others, for /ID.
std::string FileId(std::string_view title, uint64_t size, size_t pages) {
    uint64_t a = 1469598103934665603ull;
    uint64_t b = 0x9E3779B97F4A7C15ull ^ size ^ (uint64_t{pages} << 32);
    for (const char c : title) {
        a = (a ^ static_cast<uint8_t>(c)) * 1099511628211ull;
        b = (b ^ a) * 0xBF58476D1CE4E5B9ull;
    }
    std::string id;
    for (const uint64_t half : {a ^ size, b}) {
        for (int shift = 56; shift >= 0; shift -= 8) {
            id += static_cast<char>((half >> shift) & 0xFF);
        }
    }
    return id;
}

std::string ImageDictionary(uint32_t width, uint32_t height, const char* space, unsigned colors) {
    const std::string columns = std::to_string(width);
    return "/Type /XObject /Subtype /Image /Width " + columns + " /Height " +
           std::to_string(height) + " /ColorSpace " + space +
           " /BitsPerComponent 8 /DecodeParms << /Predictor 15 /Colors " + std::to_string(colors) +
           " /BitsPerComponent 8 /Columns " + columns + " >>";
}

}  // namespace

PdfWriter::PdfWriter(ByteSink& sink, Deflater& deflater, double pageWidth, double pageHeight)
    : objects_(sink, deflater),
      pageWidth_(pageWidth),
      pageHeight_(pageHeight),
      resources_(objects_.NewObject()),
      structure_(objects_) {}

PdfWriter::~PdfWriter() = default;

int PdfWriter::AddImage(const Pixels& pixels) {
    if (pixels.width == 0 || pixels.height == 0 || pixels.rgb == nullptr) {
        return -1;
    }
    std::string dictionary = ImageDictionary(pixels.width, pixels.height, "/DeviceRGB", 3);
    if (pixels.alpha != nullptr) {
        scratch_.clear();
        AppendPredictedRows(pixels.alpha, pixels.width, pixels.height, 1, scratch_);
        const uint32_t mask = objects_.NewObject();
        objects_.PutStream(mask, ImageDictionary(pixels.width, pixels.height, "/DeviceGray", 1),
                           scratch_);
        dictionary += " /SMask ";
        AppendReference(dictionary, mask);
    }
    scratch_.clear();
    AppendPredictedRows(pixels.rgb, pixels.width, pixels.height, 3, scratch_);
    const uint32_t image = objects_.NewObject();
    objects_.PutStream(image, dictionary, scratch_);
    imageObjects_.push_back(image);
    return static_cast<int>(imageObjects_.size());
}

int PdfWriter::AddFace(const SfntFace& face) {
    faces_.push_back(std::make_unique<EmbeddedFace>(face));
    return static_cast<int>(faces_.size()) - 1;
}

EmbeddedFace& PdfWriter::FaceFor(int face) {
    return *faces_[static_cast<size_t>(face)];
}

void PdfWriter::ShowWindows1252(ContentStream& content, int face, double size, double x, double y,
                                std::string_view codes) {
    if (codes.empty()) {
        return;
    }
    EmbeddedFace& embedded = FaceFor(face);
    embedded.UseCodes(codes);
    content.Text(embedded.SimpleFont(nextFontResource_), size, x, y, codes, false);
}

void PdfWriter::ShowGlyphs(ContentStream& content, int face, double size, double x, double y,
                           const uint16_t* glyphs, const char32_t* characters, size_t count) {
    if (count == 0) {
        return;
    }
    EmbeddedFace& embedded = FaceFor(face);
    scratch_.clear();
    embedded.UseGlyphs(glyphs, characters, count, scratch_);
    content.Text(embedded.Type0Font(nextFontResource_), size, x, y, scratch_, true);
}

void PdfWriter::ShowPlacedGlyphs(ContentStream& content, int face, double size, double x, double y,
                                 const PlacedGlyph* glyphs, size_t count) {
    if (count == 0) {
        return;
    }
    EmbeddedFace& embedded = FaceFor(face);
    const int font = embedded.Type0Font(nextFontResource_);
    // Glyphs that follow one another at their advances go in one string.
    size_t first = 0;
    for (size_t i = 1; i <= count; ++i) {
        const PlacedGlyph& last = glyphs[i - 1];
        const double next =
            last.dx + GlyphWidth(embedded.Face(), last.glyph) * size / 1000.0 * last.scale;
        if (i < count && std::abs(glyphs[i].dx - next) < 0.001 &&
            glyphs[i].dy == glyphs[first].dy && glyphs[i].scale == glyphs[first].scale) {
            continue;
        }
        scratch_.clear();
        embedded.UsePlacedGlyphs(glyphs + first, i - first, scratch_);
        content.Scale(glyphs[first].scale);
        content.Text(font, size, x + glyphs[first].dx, y + glyphs[first].dy, scratch_, true);
        first = i;
    }
    content.Scale(1);
}

void PdfWriter::DrawImage(ContentStream& content, int image, double left, double bottom,
                          double width, double height) {
    if (image >= 1 && static_cast<size_t>(image) <= imageObjects_.size() && width > 0 &&
        height > 0) {
        content.Image(image, left, bottom, width, height);
    }
}

void PdfWriter::BeginArtifact(ContentStream& content) {
    content.BeginMarked("/Artifact", "/Pag");
}

void PdfWriter::BeginBodyText(ContentStream& content, std::u32string_view actualText) {
    const int id = structure_.MarkBody(CurrentPage());
    if (!actualText.empty()) {
        content.BeginActualText(actualText, id);
        return;
    }
    std::string properties = "<</MCID ";
    AppendInteger(properties, id);
    content.BeginMarked("/P", properties + ">>");
}

void PdfWriter::EndMarked(ContentStream& content) {
    content.EndMarked();
}

void PdfWriter::EndParagraph() {
    structure_.EndParagraph();
}

uint32_t PdfWriter::PutContent(const ContentStream& content) {
    const uint32_t number = objects_.NewObject();
    objects_.PutStream(number, "", content.Bytes());
    return number;
}

int PdfWriter::ReserveForm() {
    formObjects_.push_back(objects_.NewObject());
    return static_cast<int>(formObjects_.size());
}

void PdfWriter::DrawForm(ContentStream& content, int form) {
    if (form >= 1 && static_cast<size_t>(form) <= formObjects_.size()) {
        content.Form(form);
    }
}

void PdfWriter::PutForm(int form, const ContentStream& content) {
    objects_.PutStream(formObjects_[static_cast<size_t>(form) - 1],
                       "/Type /XObject /Subtype /Form /BBox " + PageBoxAndResources(),
                       content.Bytes());
}

// The leaf of the page tree the next page hangs from: a new one every
// kKidsPerNode pages, so no node of a long document grows huge.
uint32_t PdfWriter::PageParent() {
    if (pages_.size() % kKidsPerNode == 0) {
        leaves_.push_back(objects_.NewObject());
    }
    return leaves_.back();
}

uint32_t PdfWriter::CurrentPage() {
    if (page_ == 0) {
        page_ = objects_.NewObject();
    }
    return page_;
}

void PdfWriter::AddPage(const std::vector<uint32_t>& contents) {
    const uint32_t parent = PageParent();
    const uint32_t page = CurrentPage();
    page_ = 0;
    std::string body = "<< /Type /Page /Parent ";
    AppendReference(body, parent);
    // Tab order follows the structure, as accessible documents want.
    body += " /Tabs /S";
    if (const int key = structure_.EndPage(); key >= 0) {
        body += " /StructParents ";
        AppendInteger(body, key);
    }
    if (contents.size() == 1) {
        body += " /Contents ";
        AppendReference(body, contents[0]);
    } else if (!contents.empty()) {
        body += " /Contents ";
        AppendReferences(body, contents.data(), contents.size());
    }
    body += " >>";
    objects_.PutObject(page, body);
    pages_.push_back(page);
}

// "[0 0 width height] /Resources n 0 R": what every page and form shares.
std::string PdfWriter::PageBoxAndResources() const {
    std::string box = "[0 0 ";
    AppendThousandths(box, ToThousandths(pageWidth_));
    box += ' ';
    AppendThousandths(box, ToThousandths(pageHeight_));
    box += "] /Resources ";
    AppendReference(box, resources_);
    return box;
}

// Writes the nodes of the page tree bottom up and returns the root, which
// carries the page size and the resources that every page inherits.
uint32_t PdfWriter::PutPageTree() {
    struct Node {
        uint32_t number;
        std::vector<uint32_t> kids;
        size_t count;
    };
    std::vector<Node> level;
    for (size_t i = 0; i < leaves_.size(); ++i) {
        const size_t first = i * kKidsPerNode;
        const size_t last = std::min(pages_.size(), first + kKidsPerNode);
        level.push_back(
            {leaves_[i], {pages_.begin() + first, pages_.begin() + last}, last - first});
    }
    const auto put = [this](const Node& node, const std::string& extra) {
        std::string body = "<< /Type /Pages /Kids ";
        AppendReferences(body, node.kids.data(), node.kids.size());
        body += " /Count " + std::to_string(node.count) + extra + " >>";
        objects_.PutObject(node.number, body);
    };
    while (level.size() > 1) {
        std::vector<Node> parents;
        for (size_t i = 0; i < level.size(); ++i) {
            if (i % kKidsPerNode == 0) {
                parents.push_back({objects_.NewObject(), {}, 0});
            }
            parents.back().kids.push_back(level[i].number);
            parents.back().count += level[i].count;
            std::string parent = " /Parent ";
            AppendReference(parent, parents.back().number);
            put(level[i], parent);
        }
        level.swap(parents);
    }
    put(level.front(), " /MediaBox " + PageBoxAndResources());
    return level.front().number;
}

// What the DeviceRGB of the bitmaps means: sRGB.
uint32_t PdfWriter::PutOutputIntent() {
    const uint32_t profile = objects_.NewObject();
    objects_.PutStream(profile, "/N 3", SrgbProfile());
    const uint32_t intent = objects_.NewObject();
    std::string body =
        "<< /Type /OutputIntent /S /GTS_PDFA1 /OutputConditionIdentifier (sRGB IEC61966-2.1) "
        "/RegistryName (http://www.color.org) /Info (sRGB IEC61966-2.1) /DestOutputProfile ";
    AppendReference(body, profile);
    objects_.PutObject(intent, body + " >>");
    return intent;
}

bool PdfWriter::Finish(std::string_view titleUtf8, std::string_view creator,
                       std::string_view language) {
    if (pages_.empty()) {
        AddPage({});  // a document always has a page, if a blank one
    }
    std::string resources = "<< /Font << ";
    for (const auto& face : faces_) {
        face->Put(objects_, resources);
    }
    resources += ">> /XObject << ";
    for (size_t i = 0; i < imageObjects_.size(); ++i) {
        resources += "/Im" + std::to_string(i + 1) + ' ';
        AppendReference(resources, imageObjects_[i]);
        resources += ' ';
    }
    for (size_t i = 0; i < formObjects_.size(); ++i) {
        resources += "/Fm" + std::to_string(i + 1) + ' ';
        AppendReference(resources, formObjects_[i]);
        resources += ' ';
    }
    // Named here, so each page's furniture names it in a few bytes.
    resources += ">> /Properties << /Pag << /Type /Pagination >> >> >>";
    objects_.PutObject(resources_, resources);

    const uint32_t root = PutPageTree();
    const DocumentInfo about{titleUtf8, creator,
                             std::chrono::duration_cast<std::chrono::seconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count()};
    // Metadata is left uncompressed, as PDF/A asks, so any tool finds it.
    const uint32_t metadata = objects_.NewObject();
    objects_.PutStream(metadata, "/Type /Metadata /Subtype /XML", XmpPacket(about), false);
    const uint32_t catalog = objects_.NewObject();
    std::string body = "<< /Type /Catalog /Pages ";
    AppendReference(body, root);
    body += " /Metadata ";
    AppendReference(body, metadata);
    body += " /OutputIntents [";
    AppendReference(body, PutOutputIntent());
    body += "] /MarkInfo << /Marked true >> /StructTreeRoot ";
    AppendReference(body, structure_.Finish());
    body += " /Lang " + TextString(language);
    body += " /ViewerPreferences << /DisplayDocTitle true >>";
    objects_.PutObject(catalog, body + " >>");
    // The level claimed, where tools that read no XMP look for it.
    const uint32_t info = objects_.NewObject();
    const std::string date = TextString(PdfDate(about.created));
    objects_.PutObject(info, "<< /Title " + TextString(titleUtf8) + " /Creator " +
                                 TextString(creator) + " /Producer " + TextString(creator) +
                                 " /CreationDate " + date + " /ModDate " + date +
                                 " /GTS_PDFA1Version (PDF/A-2u) >>");
    return objects_.Finish(catalog, info, FileId(titleUtf8, objects_.Offset(), pages_.size()));
}

}  // namespace pelm32::pdf
