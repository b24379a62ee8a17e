#include "pelm32/spool_records.h"

#include <cstring>

namespace pelm32 {

namespace {

constexpr size_t kGlyphEntry = sizeof(uint16_t) + sizeof(uint32_t);

}  // namespace

RecordReader::RecordReader(const Document& document, int page, bool keepRaw)
    : reader_(document.Spool(), document.PageBegin(page), document.PageEnd(page)),
      keepRaw_(keepRaw) {}

bool RecordReader::Read(SpoolRecord& record, void* out, size_t size) {
    if (!reader_.Read(out, size)) {
        failed_ = true;
        return false;
    }
    if (keepRaw_) {
        record.raw.append(static_cast<const char*>(out), size);
    }
    return true;
}

bool RecordReader::ReadRun(SpoolRecord& record) {
    uint8_t encoding = 0;
    uint32_t count = 0;
    if (!ReadValue(record, record.face) || !ReadValue(record, encoding) ||
        !ReadValue(record, record.x) || !ReadValue(record, record.y) || !ReadValue(record, count) ||
        encoding > 1 || record.face < 0) {
        failed_ = true;
        return false;
    }
    record.encoding = static_cast<Encoding>(encoding);
    if (record.encoding == Encoding::Windows1252) {
        record.codes.resize(count);
        return Read(record, record.codes.data(), count);
    }
    scratch_.resize(size_t{count} * kGlyphEntry);
    if (!Read(record, scratch_.data(), scratch_.size())) {
        return false;
    }
    record.glyphs.resize(count);
    record.characters.resize(count);
    for (size_t i = 0; i < count; ++i) {
        uint32_t character = 0;
        std::memcpy(&record.glyphs[i], scratch_.data() + i * kGlyphEntry, sizeof(uint16_t));
        std::memcpy(&character, scratch_.data() + i * kGlyphEntry + 2, sizeof character);
        record.characters[i] = character;
    }
    return true;
}

bool RecordReader::Next(SpoolRecord& record) {
    record.raw.clear();
    uint8_t kind = 0;
    if (failed_ || reader_.AtEnd() || !ReadValue(record, kind)) {
        return false;
    }
    record.kind = static_cast<Record>(kind);
    switch (record.kind) {
        case Record::Font:
            return ReadValue(record, record.font);
        case Record::Run:
            return ReadRun(record);
        case Record::PageNumber:
        case Record::PageCount:
            return ReadValue(record, record.x) && ReadValue(record, record.y) &&
                   ReadValue(record, record.floor);
        case Record::Graphic:
            return ReadValue(record, record.graphic) &&
                   Read(record, record.rect, sizeof record.rect);
    }
    failed_ = true;
    return false;
}

void RecordDrawer::StartPage(int index) {
    page_ = index;
    font_ = &FontById(document_.PageFont(index));
}

void RecordDrawer::DrawNumber(const SpoolRecord& record) {
    const long number = record.kind == Record::PageNumber ? page_ + 1 : document_.PageTotal();
    layout_.LayNumber(*font_, record.x, record.floor, document_.PageWidth(), number);
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
