// One open document: what is drawn is laid out at once and goes to its
// spool page by page; the PDF and the painted pages are made from the spool
// when the document is finished.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pelm32/core/bitmap.h"
#include "pelm32/core/paper.h"
#include "pelm32/core/settings.h"
#include "pelm32/core/spool.h"
#include "pelm32/core/spool_records.h"
#include "pelm32/core/text_layout.h"

namespace pelm32 {

// Positions on the page are points from its top left corner.
constexpr double kPointsPerInch = 72.0;
// Farthest a graphic's edge may lie off the page: further ones are cut
// there, so every position written stays a modest number.
constexpr double kGraphicReach = 100.0 * kPointsPerInch;

class Document {
  public:
    // The title as UTF-8; every page is of the paper given.
    Document(std::string title, const Paper& paper, Settings settings = {});

    bool Good() const { return spool_.Good(); }
    const std::string& Title() const { return title_; }
    const Settings& DocumentSettings() const { return settings_; }
    const Paper& PagePaper() const { return paper_; }
    double PageWidth() const { return paper_.width; }
    double PageHeight() const { return paper_.height; }

    int32_t AddGraphic(const char* fileName);
    void SetFont(double points, const char* faceName);
    void Text(float x, float y, const char* text);
    void PageNumber(float x, float y);
    void PageCount(float x, float y);
    void DrawGraphic(int32_t graphic, float left, float top, float right, float bottom);
    void NewPage();
    // No more drawing follows: the spool is made readable in full.
    bool Finish();
    bool Finished() const { return finished_; }
    // What is spooled so far made readable, for pages written while the
    // document is still drawn. False when the spool failed.
    bool FlushSpool() { return spool_.Flush(); }

    // What the PDF writer and the painter read.
    int PageTotal() const { return static_cast<int>(pages_.size()); }
    uint64_t PageBegin(int index) const { return pages_[static_cast<size_t>(index)].offset; }
    uint64_t PageEnd(int index) const;
    // The font in use where the page begins.
    int PageFont(int index) const { return pages_[static_cast<size_t>(index)].font; }
    // The records of a page; keepRaw keeps each record's bytes as spooled.
    RecordReader PageRecords(int index, bool keepRaw = false) const;
    const SpoolFile& Spool() const { return spool_; }
    // The bitmap of an id; null when the id is unknown or it did not load.
    const Bitmap* Graphic(int32_t graphic) const;
    // What the user should know of a document that prints all the same: a
    // bitmap left out, lines the paper cuts. One sentence each.
    std::vector<std::string> Notes() const;

  private:
    struct PageStart {
        uint64_t offset;
        int font;
    };
    bool LineBoxOnPage(double x, double top) const;
    void AppendNumberRecord(Record kind, float x, float y);
    // A page number or count waits for what is drawn next: text after it on
    // its line limits how far it may reach.
    void FlushNumber(double rightLimit = 0);

    std::string title_;
    const Paper& paper_;
    Settings settings_;
    SpoolFile spool_;
    RecordWriter records_{spool_};
    std::vector<PageStart> pages_;
    std::vector<Bitmap> graphics_;
    std::vector<std::string> bitmapNotes_;
    int linesPastTheEdge_ = 0;
    bool finished_ = false;
    int font_;
    TextLayout layout_;
    // The last text drawn on the page: its top and where its ink ends.
    double lineTop_ = -1;
    double lineInkEnd_ = 0;
    struct PendingNumber {
        Record kind;
        float left;
        float top;
        float leftLimit;
    };
    std::optional<PendingNumber> pendingNumber_;
};

}  // namespace pelm32
