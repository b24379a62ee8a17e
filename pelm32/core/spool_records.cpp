#include "pelm32/core/spool_records.h"

#include <cstring>

namespace pelm32 {

namespace {

constexpr size_t kGlyphEntry = sizeof(uint16_t) + sizeof(uint32_t);

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
        if (run.encoding == Encoding::Windows1252) {
            spool_.Append(layout.Codes().data() + run.begin, count);
            continue;
        }
        for (size_t i = run.begin; i < run.end; ++i) {
            spool_.AppendValue(layout.Glyphs()[i]);
            spool_.AppendValue(static_cast<uint32_t>(layout.Characters()[i]));
        }
    }
}

void RecordWriter::Number(Record kind, float x, float top, float leftLimit) {
    Kind(kind);
    spool_.AppendValue(x);
    spool_.AppendValue(top);
    spool_.AppendValue(leftLimit);
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
                   ReadValue(record, record.leftLimit);
        case Record::Graphic:
            return ReadValue(record, record.graphic) &&
                   Read(record, record.rect, sizeof record.rect);
    }
    failed_ = true;
    return false;
}

}  // namespace pelm32
