#include "pelm32/core/record_drawer.h"

#include "pelm32/core/document.h"

namespace pelm32 {

void RecordDrawer::StartPage(int index) {
    page_ = index;
    font_ = &FontById(document_.PageFont(index));
}

void RecordDrawer::DrawNumber(const SpoolRecord& record) {
    const long number = record.kind == Record::PageNumber ? page_ + 1 : document_.PageTotal();
    layout_.LayNumber(*font_, record.x, record.leftLimit, document_.PageWidth(), number);
    const double baseline = record.y + font_->Ascent();
    for (const LaidRun& run : layout_.Runs()) {
        const size_t count = run.end - run.begin;
        DrawText(run.face, run.encoding, run.x, baseline,
                 std::string_view(layout_.Codes()).substr(run.begin, count),
                 layout_.Glyphs().data() + run.begin, layout_.Characters().data() + run.begin,
                 count);
    }
}

void RecordDrawer::Draw(const SpoolRecord& record) {
    switch (record.kind) {
        case Record::Font:
            if (static_cast<int>(record.font) < FontCount()) {
                font_ = &FontById(static_cast<int>(record.font));
            }
            break;
        case Record::Run:
            DrawText(record.face, record.encoding, record.x, record.y, record.codes,
                     record.glyphs.data(), record.characters.data(), record.glyphs.size());
            break;
        case Record::PageNumber:
        case Record::PageCount:
            DrawNumber(record);
            break;
        case Record::Graphic:
            DrawGraphic(record.graphic, record.rect);
            break;
    }
}

}  // namespace pelm32
