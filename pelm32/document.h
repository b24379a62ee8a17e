// One open document: what is drawn goes to its spool page by page; the
// pages are painted from the spool when the document is finished.
#pragma once

#include <QImage>
#include <QString>
#include <cstdint>
#include <vector>

#include "pelm32/spool.h"

namespace pelm32 {

// A4 portrait, in page units (720 to the inch).
constexpr double kPageWidth = 210.0 / 25.4 * 720.0;
constexpr double kPageHeight = 297.0 / 25.4 * 720.0;

// The spool's record kinds; each is followed by its fields, native layout.
enum class Record : uint8_t {
    Font = 1,    // uint32 font id
    Text,        // float x, float y (top of the line box), uint32 n, n UTF-16 units
    PageNumber,  // float x, float y
    PageCount,   // float x, float y
    Graphic,     // int32 graphic id, float left, top, right, bottom
};

class Document {
  public:
    explicit Document(const QString& title);

    bool Good() const { return spool_.Good(); }
    const QString& Title() const { return title_; }

    int32_t AddGraphic(const char* fileName);
    void SetFont(double points, const char* faceName);
    void Text(float x, float y, const char* text);
    void PageNumber(float x, float y);
    void PageCount(float x, float y);
    void DrawGraphic(int32_t graphic, float left, float top, float right, float bottom);
    void NewPage();
    // No more drawing follows: the spool is made readable in full.
    bool Finish();

    // What the painting side reads.
    int PageTotal() const { return static_cast<int>(pages_.size()); }
    uint64_t PageBegin(int index) const { return pages_[static_cast<size_t>(index)].offset; }
    uint64_t PageEnd(int index) const;
    int PageFont(int index) const { return pages_[static_cast<size_t>(index)].font; }
    const SpoolFile& Spool() const { return spool_; }
    // The loaded bitmap of an id; null when the id is unknown or it did not load.
    const QImage* Graphic(int32_t graphic) const;

  private:
    struct PageStart {
        uint64_t offset;
        int font;
    };
    void AppendKind(Record kind) { spool_.AppendValue(static_cast<uint8_t>(kind)); }
    bool LineBoxOnPage(double x, double y) const;

    QString title_;
    SpoolFile spool_;
    std::vector<PageStart> pages_;
    std::vector<QImage> graphics_;
    int font_;
    std::vector<char16_t> units_;
};

}  // namespace pelm32
