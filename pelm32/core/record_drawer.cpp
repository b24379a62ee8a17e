#include "pelm32/core/record_drawer.h"

#include <algorithm>

#include "pelm32/core/document.h"
#include "pelm32/pdf/pdf_fonts.h"

namespace pelm32 {

void RecordDrawer::StartPage(int index) {
    page_ = index;
    spanLeft_ = 0;
    font_ = &FontById(document_.PageFont(index));
}

const std::vector<uint16_t>& RecordDrawer::CodeGlyphs(const TextRun& run) {
    glyphs_.clear();
    if (run.face < 0 || run.face >= FaceCount()) {
        return glyphs_;
    }
    auto found = codeGlyphs_.find(run.face);
    if (found == codeGlyphs_.end()) {
        std::array<uint16_t, 256> table{};
        for (unsigned code = 0; code < 256; ++code) {
            table[code] = pdf::CodeGlyph(FaceById(run.face).Sfnt(), static_cast<uint8_t>(code));
        }
        found = codeGlyphs_.emplace(run.face, table).first;
    }
    for (const char code : run.codes) {
        glyphs_.push_back(found->second[static_cast<uint8_t>(code)]);
    }
    return glyphs_;
}

namespace {

// A character's code point as a last-resort font shows it: at least four
// hex digits, in two rows.
std::string CodePointDigits(char32_t c) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string digits;
    for (int shift = 20; shift >= 0; shift -= 4) {
        if ((c >> shift) != 0 || shift < 16) {
            digits += kHex[(c >> shift) & 0xF];
        }
    }
    return digits;
}

}  // namespace

void RecordDrawer::DrawNumber(const SpoolRecord& record) {
    const long number = record.kind == Record::PageNumber ? page_ + 1 : document_.PageTotal();
    layout_.LayNumber(*font_, record.x, record.leftLimit, record.rightLimit, document_.PageWidth(),
                      number);
    DrawLaidOut(layout_, record.y + font_->Ascent());
}

void RecordDrawer::DrawLaidOut(const TextLayout& layout, double baseline) {
    for (const LaidRun& run : layout.Runs()) {
        if (run.encoding == Encoding::Missing) {
            continue;  // digits are in every face a number is drawn with
        }
        TextRun text;
        text.face = run.face;
        text.encoding = run.encoding;
        text.x = run.x;
        text.baseline = baseline;
        text.size = font_->Points();
        text.count = run.end - run.begin;
        text.codes = std::string_view(layout.Codes()).substr(run.begin, text.count);
        text.glyphs = layout.Glyphs().data() + run.begin;
        text.characters = layout.Characters().data() + run.begin;
        if (run.encoding == Encoding::Placed) {
            text.places = layout.Places().data() + run.places;
            text.text = std::u32string_view(layout.Text())
                            .substr(run.textBegin, run.textEnd - run.textBegin);
        }
        DrawText(text);
    }
}

void RecordDrawer::DrawRun(const SpoolRecord& record) {
    if (record.encoding == Encoding::Missing) {
        DrawMissing(record);
        return;
    }
    TextRun run;
    run.face = record.face;
    run.encoding = record.encoding;
    run.x = record.x;
    run.baseline = record.y;
    run.size = font_->Points();
    run.codes = record.codes;
    run.glyphs = record.glyphs.data();
    run.characters = record.characters.data();
    run.count = record.glyphs.size();
    run.places = record.places.empty() ? nullptr : record.places.data();
    run.text = record.text;
    if (record.spanRuns > 0 && spanLeft_ == 0) {
        BeginActualText(record.text);
        spanLeft_ = record.spanRuns;
    }
    DrawText(run);
    if (spanLeft_ > 0 && --spanLeft_ == 0) {
        EndActualText();
    }
}

// A frame the width of the character's cells with its code point inside in
// small digits, in the face the record names; it stands for the character.
void RecordDrawer::DrawMissing(const SpoolRecord& record) {
    if (record.characters.empty() || !(record.width > 0)) {
        return;
    }
    const char32_t c = record.characters[0];
    const double size = font_->Points();
    const double inset = record.width * 0.08;
    const double left = record.x + inset;
    const double right = record.x + record.width - inset;
    const double top = record.y - size * 0.72;
    const double bottom = record.y + size * 0.08;
    BeginActualText(std::u32string_view(&c, 1));
    DrawFrame(left, top, right, bottom);
    const std::string digits = CodePointDigits(c);
    const size_t perRow = (digits.size() + 1) / 2;
    // Digits of a fixed-pitch face are about 0.6 em wide.
    const double digitSize = std::min((right - left) * 0.9 / (perRow * 0.6), (bottom - top) * 0.45);
    TextRun run;
    run.face = record.face;
    run.size = digitSize;
    for (size_t row = 0; row < 2; ++row) {
        run.codes = std::string_view(digits).substr(row * perRow, perRow);
        run.x = (left + right) / 2 - run.codes.size() * digitSize * 0.3;
        run.baseline = top + (bottom - top) * (row == 0 ? 0.45 : 0.9);
        DrawText(run);
    }
    EndActualText();
}

void RecordDrawer::Draw(const SpoolRecord& record) {
    switch (record.kind) {
        case Record::Font:
            if (static_cast<int>(record.font) < FontCount()) {
                font_ = &FontById(static_cast<int>(record.font));
            }
            break;
        case Record::Run:
            DrawRun(record);
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
