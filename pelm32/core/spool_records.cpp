#include "pelm32/core/spool_records.h"

#include <cstring>

namespace pelm32 {

namespace {

constexpr size_t kGlyphEntry = sizeof(uint16_t) + sizeof(uint32_t);
constexpr size_t kPlacedEntry = kGlyphEntry + sizeof(GlyphPlace);
// More than any line holds: a record claiming more is not one of ours.
constexpr uint32_t kMostCharacters = 1 << 24;

}  // namespace

void RecordWriter::Font(uint32_t font) {
    Kind(Record::Font);
    spool_.AppendValue(font);
}

void RecordWriter::Runs(const TextLayout& layout, float baseline) {
    for (const LaidRun& run : layout.Runs()) {
        const auto count = static_cast<uint32_t>(run.end - run.begin);
        Kind(Record::Run);
        spool_.AppendValue(static_cast<int32_t>(run.face));
        spool_.AppendValue(static_cast<uint8_t>(run.encoding));
        spool_.AppendValue(static_cast<float>(run.x));
        spool_.AppendValue(baseline);
        spool_.AppendValue(count);
        switch (run.encoding) {
            case Encoding::Windows1252:
                spool_.Append(layout.Codes().data() + run.begin, count);
                break;
            case Encoding::Glyphs:
                Glyphs(layout, run);
                break;
            case Encoding::Placed: {
                spool_.AppendValue(run.actualText ? run.spanRuns : uint8_t{0});
                Glyphs(layout, run);
                const auto length = static_cast<uint32_t>(run.textEnd - run.textBegin);
                spool_.AppendValue(length);
                for (size_t i = run.textBegin; i < run.textEnd; ++i) {
                    spool_.AppendValue(static_cast<uint32_t>(layout.Text()[i]));
                }
                break;
            }
            case Encoding::Missing:
                spool_.AppendValue(run.width);
                Glyphs(layout, run);
                break;
        }
    }
}

void RecordWriter::Glyphs(const TextLayout& layout, const LaidRun& run) {
    for (size_t i = run.begin; i < run.end; ++i) {
        spool_.AppendValue(layout.Glyphs()[i]);
        spool_.AppendValue(static_cast<uint32_t>(layout.Characters()[i]));
        if (run.encoding == Encoding::Placed) {
            spool_.AppendValue(layout.Places()[run.places + i - run.begin]);
        }
    }
}

void RecordWriter::Number(Record kind, float x, float top, float leftLimit, float rightLimit) {
    Kind(kind);
    spool_.AppendValue(x);
    spool_.AppendValue(top);
    spool_.AppendValue(leftLimit);
    spool_.AppendValue(rightLimit);
}

void RecordWriter::Graphic(int32_t graphic, const float (&rect)[4]) {
    Kind(Record::Graphic);
    spool_.AppendValue(graphic);
    spool_.Append(rect, sizeof rect);
}

RecordReader::RecordReader(const SpoolFile& spool, uint64_t begin, uint64_t end, bool keepRaw)
    : reader_(spool, begin, end), keepRaw_(keepRaw) {}

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
        encoding > static_cast<uint8_t>(Encoding::Missing) || record.face < 0 ||
        count > kMostCharacters) {
        failed_ = true;
        return false;
    }
    record.encoding = static_cast<Encoding>(encoding);
    record.places.clear();
    record.text.clear();
    record.spanRuns = 0;
    switch (record.encoding) {
        case Encoding::Windows1252:
            record.codes.resize(count);
            return Read(record, record.codes.data(), count);
        case Encoding::Glyphs:
            return ReadGlyphs(record, count, false);
        case Encoding::Placed: {
            return ReadValue(record, record.spanRuns) && ReadGlyphs(record, count, true) &&
                   ReadText(record);
        }
        case Encoding::Missing:
            return ReadValue(record, record.width) && ReadGlyphs(record, count, false);
    }
    return false;
}

bool RecordReader::ReadGlyphs(SpoolRecord& record, uint32_t count, bool placed) {
    const size_t entry = placed ? kPlacedEntry : kGlyphEntry;
    scratch_.resize(size_t{count} * entry);
    if (!Read(record, scratch_.data(), scratch_.size())) {
        return false;
    }
    record.glyphs.resize(count);
    record.characters.resize(count);
    record.places.resize(placed ? count : 0);
    for (size_t i = 0; i < count; ++i) {
        const char* at = scratch_.data() + i * entry;
        uint32_t character = 0;
        std::memcpy(&record.glyphs[i], at, sizeof(uint16_t));
        std::memcpy(&character, at + sizeof(uint16_t), sizeof character);
        record.characters[i] = character;
        if (placed) {
            std::memcpy(&record.places[i], at + kGlyphEntry, sizeof(GlyphPlace));
        }
    }
    return true;
}

bool RecordReader::ReadText(SpoolRecord& record) {
    uint32_t length = 0;
    if (!ReadValue(record, length) || length > kMostCharacters) {
        failed_ = true;
        return false;
    }
    record.text.resize(length);
    for (char32_t& c : record.text) {
        uint32_t value = 0;
        if (!ReadValue(record, value)) {
            return false;
        }
        c = value;
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
                   ReadValue(record, record.leftLimit) && ReadValue(record, record.rightLimit);
        case Record::Graphic:
            return ReadValue(record, record.graphic) &&
                   Read(record, record.rect, sizeof record.rect);
    }
    failed_ = true;
    return false;
}

}  // namespace pelm32
