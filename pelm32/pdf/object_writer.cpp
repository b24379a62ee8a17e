#include "pelm32/pdf/object_writer.h"

#include "pelm32/pdf/pdf_syntax.h"

#include <algorithm>

namespace pelm32::pdf {

namespace {

// An object stream is closed at whichever comes first: small streams keep a
// reader's random access cheap, and the writer's memory bounded.
constexpr size_t kPackedObjects = 200;
constexpr size_t kPackedBytes = 64 * 1024;
// The generation of the free list's head.
constexpr uint32_t kFreeHeadGeneration = 0xFFFF;

void AppendBigEndian(std::string& out, uint64_t value, int bytes) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) {
        out += static_cast<char>((value >> shift) & 0xFF);
    }
}

// The fewest bytes that hold value (at least one).
int ByteWidth(uint64_t value) {
    int width = 1;
    while (width < 8 && (value >> (8 * width)) != 0) {
        ++width;
    }
    return width;
}

}  // namespace

ObjectWriter::ObjectWriter(ByteSink& sink, Deflater& deflater) : out_(sink, deflater) {
    entries_.push_back(Entry{0, 0, kFreeHeadGeneration});
    // The high bytes on the second line mark the file as binary.
    out_.Bytes("%PDF-1.7\n%\xE2\xE3\xCF\xD3\n");
}

uint32_t ObjectWriter::NewObject() {
    entries_.emplace_back();
    return static_cast<uint32_t>(entries_.size() - 1);
}

void ObjectWriter::PutObject(uint32_t number, std::string_view body) {
    if (!Give(number, Entry{2, 0, static_cast<uint32_t>(packedIndex_.size())})) {
        return;
    }
    packedIndex_.emplace_back(number, static_cast<uint32_t>(packedBody_.size()));
    packedBody_ += body;
    packedBody_ += '\n';
    if (packedIndex_.size() >= kPackedObjects || packedBody_.size() >= kPackedBytes) {
        FlushObjectStream();
    }
}

void ObjectWriter::PutStream(uint32_t number, std::string_view dictionary, std::string_view data,
                             bool compress) {
    if (Give(number, Entry{1, 0, 0})) {
        out_.Stream(number, dictionary, data,
                    compress ? BackgroundWriter::Data::Compress : BackgroundWriter::Data::Plain);
    }
}

void ObjectWriter::PutDeflatedStream(uint32_t number, std::string_view dictionary,
                                     std::string_view deflated) {
    if (Give(number, Entry{1, 0, 0})) {
        out_.Stream(number, dictionary, deflated, BackgroundWriter::Data::Deflated);
    }
}

bool ObjectWriter::Good() {
    out_.Wait();
    return out_.Good();
}

uint64_t ObjectWriter::Offset() {
    out_.Wait();
    return out_.Offset();
}

void ObjectWriter::Settle() {
    out_.TakePlaced(placed_);
    for (const auto& [number, offset] : placed_) {
        entries_[number].offset = offset;
    }
}

bool ObjectWriter::Finish(uint32_t root, uint32_t info, std::string_view fileId) {
    FlushObjectStream();
    out_.Wait();
    Settle();
    const bool complete = std::none_of(entries_.begin() + 1, entries_.end(),
                                       [](const Entry& entry) { return entry.type == 0; });
    // An unfinished table would send a reader to objects that are not
    // there: the file is left without one instead.
    if (!out_.Good() || !numbersOk_ || !complete || !Given(root) || (info != 0 && !Given(info))) {
        return false;
    }
    const uint32_t number = NewObject();
    const uint64_t start = out_.Offset();
    Give(number, Entry{1, start, 0});
    WriteXref(number, root, info, fileId);
    std::string tail = "startxref\n";
    AppendInteger(tail, start);
    tail += "\n%%EOF\n";
    out_.Bytes(tail);
    return Good();
}

void ObjectWriter::FlushObjectStream() {
    if (packedIndex_.empty()) {
        return;
    }
    // Numbered now, after the objects it holds: only then is it known to be
    // needed.
    const uint32_t number = NewObject();
    Give(number, Entry{1, 0, 0});
    scratch_.clear();
    for (const auto& [object, at] : packedIndex_) {
        entries_[object].offset = number;
        AppendInteger(scratch_, object);
        scratch_ += ' ';
        AppendInteger(scratch_, at);
        scratch_ += ' ';
    }
    std::string dictionary = "/Type /ObjStm /N ";
    AppendInteger(dictionary, packedIndex_.size());
    dictionary += " /First ";
    AppendInteger(dictionary, scratch_.size());
    packedBody_.insert(0, scratch_);
    out_.Stream(number, dictionary, packedBody_, BackgroundWriter::Data::Compress);
    packedIndex_.clear();
    packedBody_.clear();
    Settle();
}

bool ObjectWriter::Give(uint32_t number, Entry entry) {
    if (number == 0 || number >= entries_.size() || entries_[number].type != 0) {
        numbersOk_ = false;
        return false;
    }
    entries_[number] = entry;
    return true;
}

bool ObjectWriter::Given(uint32_t number) const {
    return number != 0 && number < entries_.size() && entries_[number].type != 0;
}

void ObjectWriter::WriteXref(uint32_t number, uint32_t root, uint32_t info,
                             std::string_view fileId) {
    uint64_t largest = 0;
    for (const Entry& entry : entries_) {
        largest = std::max(largest, entry.offset);
    }
    const int width = ByteWidth(largest);
    std::string rows;
    rows.reserve(entries_.size() * (3 + width));
    for (const Entry& entry : entries_) {
        AppendBigEndian(rows, entry.type, 1);
        AppendBigEndian(rows, entry.offset, width);
        AppendBigEndian(rows, entry.index, 2);
    }
    std::string dictionary = "/Type /XRef /Size ";
    AppendInteger(dictionary, entries_.size());
    dictionary += " /W [1 ";
    AppendInteger(dictionary, width);
    dictionary += " 2] /Root ";
    AppendReference(dictionary, root);
    if (info != 0) {
        dictionary += " /Info ";
        AppendReference(dictionary, info);
    }
    std::string id;
    AppendHexString(id, fileId);
    dictionary += " /ID [" + id + ' ' + id + ']';
    out_.Stream(number, dictionary, rows, BackgroundWriter::Data::Compress);
}

}  // namespace pelm32::pdf
