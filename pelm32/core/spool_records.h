// The spool's record format, in one place: what a document writes as it is
// drawn, and what the PDF writer and the painter read back page by page.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pelm32/core/spool.h"
#include "pelm32/core/text_layout.h"

namespace pelm32 {

// The record kinds; each is followed by its fields, native layout.
enum class Record : uint8_t {
    Font = 1,    // uint32 font id
    Run,         // int32 face, uint8 Encoding, float x, float baseline, uint32 n, then
                 // Windows1252: n bytes; Glyphs: n x (uint16 glyph, uint32 character);
                 // Placed: uint8 runs its actual text spans, n x (uint16 glyph, uint32 character,
                 //   float dx, float dy, float scale, uint32 characters),
                 //   uint32 m, m x uint32 character (the text);
                 // Missing: float width, uint16 0, uint32 character (n is 1)
    PageNumber,  // float x, float top, float leftLimit (where the text before it on its line
                 // ends), float rightLimit (where the text after it starts; 0 for none)
    PageCount,   // the same
    Graphic,     // int32 graphic id, float left, top, right, bottom
};

// Appends records to a spool.
class RecordWriter {
  public:
    explicit RecordWriter(SpoolFile& spool) : spool_(spool) {}
    void Font(uint32_t font);
    // The runs of a laid-out text, on one baseline.
    void Runs(const TextLayout& layout, float baseline);
    // kind is PageNumber or PageCount.
    void Number(Record kind, float x, float top, float leftLimit, float rightLimit);
    void Graphic(int32_t graphic, const float (&rect)[4]);

  private:
    void Kind(Record kind) { spool_.AppendValue(static_cast<uint8_t>(kind)); }
    void Glyphs(const TextLayout& layout, const LaidRun& run);

    SpoolFile& spool_;
};

struct SpoolRecord {
    Record kind = Record::Font;
    uint32_t font = 0;  // Font
    // Run: x and baseline; PageNumber and PageCount: x and top.
    float x = 0;
    float y = 0;
    float leftLimit = 0;   // PageNumber and PageCount
    float rightLimit = 0;  // PageNumber and PageCount
    int32_t face = 0;      // Run
    Encoding encoding = Encoding::Windows1252;
    std::string codes;                 // Run, Windows1252
    std::vector<uint16_t> glyphs;      // Run, other encodings
    std::vector<char32_t> characters;  // Run, other encodings
    std::vector<GlyphPlace> places;    // Run, Placed
    std::u32string text;               // Run, Placed: what its glyphs stand for
    // Run, Placed: how many runs, this one first, the text is given whole
    // for (as actual text); 0 for none.
    uint8_t spanRuns = 0;
    float width = 0;      // Run, Missing
    int32_t graphic = 0;  // Graphic
    float rect[4] = {};   // Graphic: left, top, right, bottom
    // The record's bytes as spooled, when the reader keeps them.
    std::string raw;
};

// Reads the records of a stretch of the spool (a page) back.
class RecordReader {
  public:
    RecordReader(const SpoolFile& spool, uint64_t begin, uint64_t end, bool keepRaw = false);
    // The next record; false at the end of the stretch or when the spool
    // cannot be read (then Failed() says so, and Error() gives the
    // system's error code, 0 for records that make no sense).
    bool Next(SpoolRecord& record);
    bool Failed() const { return failed_; }
    int Error() const { return reader_.Error(); }

  private:
    bool Read(SpoolRecord& record, void* out, size_t size);
    template <typename T>
    bool ReadValue(SpoolRecord& record, T& value) {
        return Read(record, &value, sizeof value);
    }
    bool ReadRun(SpoolRecord& record);
    bool ReadGlyphs(SpoolRecord& record, uint32_t count, bool placed);
    bool ReadText(SpoolRecord& record);

    SpoolReader reader_;
    bool keepRaw_;
    bool failed_ = false;
    std::vector<char> scratch_;
};

}  // namespace pelm32
