// Where the engine's font files come from, one source per platform. On
// Linux fontconfig chooses the face for a family name (so "Courier New"
// gives its metric-compatible stand-in) and the faces that cover characters
// a family lacks; on Windows GDI does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pelm32 {

// One face of a font file, with the names the system knows it by.
struct FontFileRef {
    std::string path;
    unsigned index = 0;
    std::string family;
    std::string style;
};

// The bytes of a font file, kept readable as long as a face uses them.
class FontBytes {
  public:
    virtual ~FontBytes() = default;
    virtual const uint8_t* Data() const = 0;
    virtual size_t Size() const = 0;
};

// The system's faces as the engine asks for them. A source keeps what it
// has learnt of the system until it is destroyed.
class FontSource {
  public:
    virtual ~FontSource() = default;
    // The face the system's font configuration gives for a family name,
    // among faces with TrueType or CFF outlines; false when there is none at all.
    virtual bool FindFaceFile(const std::string& family, FontFileRef& face) = 0;
    // Faces with TrueType or CFF outlines that cover a character, best first for
    // the family's look; empty when no face has it.
    virtual std::vector<FontFileRef> FindFacesFor(const std::string& family,
                                                  char32_t character) = 0;
};

std::unique_ptr<FontSource> MakeFontSource();

// The whole file, mapped or read; null (with the reason in why) on failure.
std::unique_ptr<FontBytes> ReadFontFile(const std::string& path, std::string& why);

}  // namespace pelm32
