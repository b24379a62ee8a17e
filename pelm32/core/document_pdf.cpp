#include "pelm32/core/document_pdf.h"

#include <deque>
#include <map>
#include <tuple>
#include <utility>
#include <vector>

#include "pelm32/core/document.h"
#include "pelm32/core/fonts.h"
#include "pelm32/core/record_drawer.h"
#include "pelm32/pdf/pdf_writer.h"

namespace pelm32 {

namespace {

// A shared top of page is worth its own stream from this size on, and is
// looked for no further than this, so comparing pages stays cheap.
constexpr size_t kMinSharedBytes = 128;
constexpr size_t kMaxSharedBytes = 64 * 1024;
// A page whose content grows past this is written in parts, so memory
// stays bounded however much one page holds.
constexpr size_t kContentPartBytes = 1 << 20;
// Shared streams remembered for reuse: pages share with their neighbours.
constexpr size_t kRememberedShares = 4;
// Body text a step this many font sizes below the line before starts a new
// paragraph: a blank line lies between.
constexpr double kParagraphGap = 1.5;

// Of a page's leading records: how many go in a stream shared with other
// pages, and how many are page furniture (tagged as artifacts, not text to
// read).
struct Leading {
    size_t shared = 0;
    size_t furniture = 0;
};

}  // namespace

class PageWriter : public RecordDrawer {
  public:
    PageWriter(const Document& document, pdf::PdfWriter& writer)
        : RecordDrawer(document), writer_(writer) {}

    // False when the spool could not be read; Error() then gives the
    // system's error code.
    bool Write(int page);
    int Error() const { return error_; }
    // The page counts drawn before the total was known, now that it is.
    void WriteDeferredCounts();

  protected:
    void DrawText(const TextRun& run) override;
    void DrawGraphic(int32_t graphic, const float* rect) override;
    void DrawFrame(double left, double top, double right, double bottom) override;
    void BeginActualText(std::u32string_view text) override;
    void EndActualText() override;

  private:
    // Body text given whole as actual text (a span) is a marked sequence of
    // its own, not one nested in the paragraph's: readers that follow the
    // structure take the end of a nested sequence for the end of the text.
    enum class Mark { None, Artifact, Body, BodySpan };

    Leading LeadingRecords(int page);
    Leading CommonRecords(int a, int b);
    size_t NumberingRecords(int page);
    void MarkFor(const SpoolRecord& record, bool furniture);
    void MarkAs(Mark mark);
    void BreakParagraph(const SpoolRecord& record);
    void FinishPart(pdf::ContentStream& content);
    int DeferredCount();
    uint32_t SharedContent(const std::string& key, const pdf::ContentStream& content);
    int WriterFace(int face);
    int WriterImage(int32_t graphic);
    double PdfY(double y) const { return document_.PageHeight() - y; }

    pdf::PdfWriter& writer_;
    int error_ = 0;
    // Where what is drawn goes: the shared top of the page or its own part.
    pdf::ContentStream* content_ = nullptr;
    std::vector<int> faces_;   // by engine face id: the writer's face, -1 until used
    std::vector<int> images_;  // by graphic id: the writer's image, 0 until used
    std::deque<std::pair<std::string, uint32_t>> shares_;
    // The last pair of pages compared, which the next page asks about again.
    int comparedA_ = -1;
    int comparedB_ = -1;
    Leading compared_;
    // The marked sequence open in content_, and where the last body text
    // went, to tell where paragraphs end.
    Mark mark_ = Mark::None;
    bool spanIsBody_ = false;  // the actual text about to begin is body text
    const Font* bodyFont_ = nullptr;
    double bodyBaseline_ = 0;
    int bodyPage_ = -1;
    int pageIndex_ = 0;
    SpoolRecord record_;
    pdf::ContentStream shared_;
    pdf::ContentStream own_;
    std::vector<uint32_t> contents_;
    std::vector<pdf::PlacedGlyph> placed_;
    // Page counts drawn before the total was known, each alike drawn once,
    // by font and place: what draws it, and the form it stands in.
    struct Deferred {
        const Font* font;
        SpoolRecord record;
        int form;
    };
    std::vector<Deferred> deferred_;
    std::map<std::tuple<const Font*, float, float, float, float>, size_t> deferredIndex_;
};

namespace {

// Whether a record draws a page number or count, which differ from page to
// page or are not known until the end.
bool Numbered(const SpoolRecord& record) {
    return record.kind == Record::PageNumber || record.kind == Record::PageCount;
}

}  // namespace

// How many leading records two pages have in common, as spooled: all of
// them are furniture, and those before the first page number or count can
// be shared (a number draws differently on every page, a count may not be
// known yet).
Leading PageWriter::CommonRecords(int a, int b) {
    if (a == comparedA_ && b == comparedB_) {
        return compared_;
    }
    RecordReader first = document_.PageRecords(a, true);
    RecordReader second = document_.PageRecords(b, true);
    SpoolRecord x;
    SpoolRecord y;
    Leading common;
    bool numbered = false;
    size_t sharedBytes = 0;
    size_t bytes = 0;
    while (bytes < kMaxSharedBytes && first.Next(x) && second.Next(y) && x.raw == y.raw) {
        numbered = numbered || Numbered(x);
        ++common.furniture;
        bytes += x.raw.size();
        if (!numbered) {
            common.shared = common.furniture;
            sharedBytes = bytes;
        }
    }
    if (sharedBytes < kMinSharedBytes) {
        common.shared = 0;
    }
    comparedA_ = a;
    comparedB_ = b;
    compared_ = common;
    return compared_;
}

// A page with no neighbour to compare with: its furniture is what comes up
// to its page numbering, which a report draws before its body.
size_t PageWriter::NumberingRecords(int page) {
    RecordReader reader = document_.PageRecords(page, true);
    SpoolRecord record;
    size_t count = 0;
    size_t numbered = 0;
    size_t bytes = 0;
    while (bytes < kMaxSharedBytes && reader.Next(record)) {
        ++count;
        bytes += record.raw.size();
        if (Numbered(record)) {
            numbered = count;
        }
    }
    return numbered;
}

Leading PageWriter::LeadingRecords(int page) {
    Leading leading;
    for (const int neighbour : {page - 1, page + 1}) {
        if (neighbour >= 0 && neighbour < document_.PageTotal() &&
            document_.PageFont(neighbour) == document_.PageFont(page)) {
            const Leading common =
                neighbour < page ? CommonRecords(neighbour, page) : CommonRecords(page, neighbour);
            leading.shared = std::max(leading.shared, common.shared);
            leading.furniture = std::max(leading.furniture, common.furniture);
        }
    }
    if (leading.furniture == 0) {
        leading.furniture = NumberingRecords(page);
    }
    return leading;
}

// Furniture, numbers and bitmaps are artifacts; other text is the body.
void PageWriter::MarkFor(const SpoolRecord& record, bool furniture) {
    if (record.kind == Record::Font) {
        return;  // draws nothing
    }
    if (furniture || record.kind != Record::Run) {
        MarkAs(Mark::Artifact);
        return;
    }
    BreakParagraph(record);
    if (mark_ == Mark::BodySpan) {
        return;
    }
    const bool span = record.encoding == Encoding::Missing || record.spanRuns > 0;
    spanIsBody_ = span;
    MarkAs(span ? Mark::None : Mark::Body);
}

void PageWriter::MarkAs(Mark mark) {
    if (mark == mark_) {
        return;
    }
    if (mark_ != Mark::None) {
        writer_.EndMarked(*content_);
    }
    if (mark == Mark::Artifact) {
        writer_.BeginArtifact(*content_);
    } else if (mark == Mark::Body) {
        writer_.BeginBodyText(*content_);
    }
    mark_ = mark;
}

// A paragraph ends at a blank line, where the font changes, and where the
// text goes back up the page (a new column); it goes on over a page break.
void PageWriter::BreakParagraph(const SpoolRecord& record) {
    const Font& font = CurrentFont();
    const double step = record.y - bodyBaseline_;
    const bool samePage = bodyPage_ == pageIndex_;
    if (bodyFont_ != nullptr &&
        (&font != bodyFont_ || (samePage && (step < 0 || step > kParagraphGap * font.Points())))) {
        if (mark_ == Mark::Body) {
            MarkAs(Mark::None);
        }
        writer_.EndParagraph();
    }
    bodyFont_ = &font;
    bodyBaseline_ = record.y;
    bodyPage_ = pageIndex_;
}

void PageWriter::FinishPart(pdf::ContentStream& content) {
    MarkAs(Mark::None);
    content.Finish();
}

uint32_t PageWriter::SharedContent(const std::string& key, const pdf::ContentStream& content) {
    for (const auto& [known, number] : shares_) {
        if (known == key) {
            return number;
        }
    }
    const uint32_t number = writer_.PutContent(content);
    shares_.emplace_front(key, number);
    if (shares_.size() > kRememberedShares) {
        shares_.pop_back();
    }
    return number;
}

bool PageWriter::Write(int page) {
    StartPage(page);
    pageIndex_ = page;
    contents_.clear();
    shared_.Clear();
    own_.Clear();
    const Leading leading = LeadingRecords(page);
    RecordReader reader = document_.PageRecords(page, leading.shared > 0);
    std::string key = std::to_string(document_.PageFont(page)) + ':';
    content_ = &shared_;
    size_t index = 0;
    for (; index < leading.shared && reader.Next(record_); ++index) {
        key += record_.raw;
        MarkFor(record_, true);
        Draw(record_);
    }
    if (leading.shared > 0 && !reader.Failed()) {
        FinishPart(shared_);
        contents_.push_back(SharedContent(key, shared_));
    }
    content_ = &own_;
    for (; reader.Next(record_); ++index) {
        if (record_.kind == Record::PageCount && !document_.Finished()) {
            MarkFor(record_, true);
            writer_.DrawForm(*content_, DeferredCount());
            continue;
        }
        MarkFor(record_, index < leading.furniture);
        Draw(record_);
        if (own_.Size() >= kContentPartBytes && mark_ != Mark::BodySpan) {
            FinishPart(own_);
            contents_.push_back(writer_.PutContent(own_));
            own_.Clear();
        }
    }
    if (reader.Failed()) {
        error_ = reader.Error();
        return false;
    }
    FinishPart(own_);
    if (own_.Size() > 0) {
        contents_.push_back(writer_.PutContent(own_));
    }
    writer_.AddPage(contents_);
    return true;
}

// A count drawn before the total is known is a form, drawn in full once it
// is: one for each font and place.
int PageWriter::DeferredCount() {
    const auto key = std::make_tuple(&CurrentFont(), record_.x, record_.y, record_.leftLimit,
                                     record_.rightLimit);
    const auto [known, added] = deferredIndex_.emplace(key, deferred_.size());
    if (added) {
        deferred_.push_back({&CurrentFont(), record_, writer_.ReserveForm()});
    }
    return deferred_[known->second].form;
}

// After the last page: its own content stream is free to draw in.
void PageWriter::WriteDeferredCounts() {
    content_ = &own_;
    for (const Deferred& count : deferred_) {
        own_.Clear();
        UseFont(*count.font);
        Draw(count.record);
        own_.Finish();
        writer_.PutForm(count.form, own_);
    }
}

int PageWriter::WriterFace(int face) {
    if (face < 0 || face >= FaceCount()) {
        return -1;
    }
    if (faces_.size() <= static_cast<size_t>(face)) {
        faces_.resize(static_cast<size_t>(face) + 1, -1);
    }
    int& known = faces_[static_cast<size_t>(face)];
    if (known < 0) {
        known = writer_.AddFace(FaceById(face).Sfnt());
    }
    return known;
}

int PageWriter::WriterImage(int32_t graphic) {
    const Bitmap* bitmap = document_.Graphic(graphic);
    if (bitmap == nullptr) {
        return -1;
    }
    if (images_.size() <= static_cast<size_t>(graphic)) {
        images_.resize(static_cast<size_t>(graphic) + 1, 0);
    }
    int& known = images_[static_cast<size_t>(graphic)];
    if (known == 0) {
        known = writer_.AddImage({bitmap->width, bitmap->height, bitmap->rgb.data(),
                                  bitmap->alpha.empty() ? nullptr : bitmap->alpha.data()});
    }
    return known;
}

void PageWriter::DrawText(const TextRun& run) {
    const int writerFace = WriterFace(run.face);
    if (writerFace < 0) {
        return;
    }
    const double y = PdfY(run.baseline);
    switch (run.encoding) {
        case Encoding::Windows1252:
            writer_.ShowWindows1252(*content_, writerFace, run.size, run.x, y, run.codes);
            break;
        case Encoding::Glyphs:
            writer_.ShowGlyphs(*content_, writerFace, run.size, run.x, y, run.glyphs,
                               run.characters, run.count);
            break;
        case Encoding::Placed: {
            placed_.clear();
            size_t at = 0;
            for (size_t i = 0; i < run.count; ++i) {
                const GlyphPlace& place = run.places[i];
                placed_.push_back(
                    {run.glyphs[i], place.dx, place.dy, place.scale,
                     run.text.substr(std::min(at, run.text.size()), place.characters)});
                at += place.characters;
            }
            writer_.ShowPlacedGlyphs(*content_, writerFace, run.size, run.x, y, placed_.data(),
                                     placed_.size());
            break;
        }
        case Encoding::Missing:
            break;  // drawn by the record drawer as a frame and digits
    }
}

void PageWriter::DrawFrame(double left, double top, double right, double bottom) {
    content_->Frame(left, PdfY(bottom), right - left, bottom - top);
}

void PageWriter::BeginActualText(std::u32string_view text) {
    if (spanIsBody_ && mark_ == Mark::None) {
        writer_.BeginBodyText(*content_, text);
        mark_ = Mark::BodySpan;
    } else {
        content_->BeginActualText(text);
    }
}

void PageWriter::EndActualText() {
    if (mark_ == Mark::BodySpan) {
        writer_.EndMarked(*content_);
        mark_ = Mark::None;
    } else {
        content_->EndActualText();
    }
}

void PageWriter::DrawGraphic(int32_t graphic, const float* rect) {
    writer_.DrawImage(*content_, WriterImage(graphic), rect[0], PdfY(rect[3]), rect[2] - rect[0],
                      rect[3] - rect[1]);
}

DocumentPdf::DocumentPdf(const Document& document, pdf::ByteSink& sink)
    : document_(document),
      deflater_(pdf::MakeDeflater()),
      writer_(std::make_unique<pdf::PdfWriter>(sink, *deflater_, document.PageWidth(),
                                               document.PageHeight())),
      pages_(std::make_unique<PageWriter>(document, *writer_)) {}

DocumentPdf::~DocumentPdf() = default;

bool DocumentPdf::WritePages(int end, std::string& why, const PageWritten& pageWritten) {
    for (; next_ < end; ++next_) {
        if (!pages_->Write(next_)) {
            why = SpoolReadFailure(pages_->Error());
            return false;
        }
        if (pageWritten && !pageWritten(next_ + 1, document_.PageTotal())) {
            why.clear();
            return false;
        }
    }
    return true;
}

bool DocumentPdf::Finish(std::string& why, const PageWritten& pageWritten) {
    if (!WritePages(document_.PageTotal(), why, pageWritten)) {
        return false;
    }
    pages_->WriteDeferredCounts();
    if (!writer_->Finish(document_.Title(), "pelm32", document_.DocumentSettings().language)) {
        why = "the file could not be written";
        return false;
    }
    return true;
}

bool WriteDocumentPdf(const Document& document, pdf::ByteSink& sink, std::string& why,
                      const PageWritten& pageWritten) {
    DocumentPdf pdf(document, sink);
    return pdf.Finish(why, pageWritten);
}

}  // namespace pelm32
