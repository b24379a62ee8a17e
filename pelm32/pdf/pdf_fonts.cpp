#include "pelm32/pdf/pdf_fonts.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "pelm32/pdf/content_stream.h"
#include "pelm32/pdf/pdf_syntax.h"
#include "pelm32/pdf/win_ansi.h"

namespace pelm32::pdf {

namespace {

constexpr int kFixedPitch = 1;
constexpr int kSymbolic = 4;
constexpr int kNonsymbolic = 32;
constexpr int kItalic = 64;
constexpr size_t kMappingsPerBlock = 100;  // the most a bfchar or cidchar block may hold
// A glyph shown that stands for no character of its own.
constexpr char32_t kNoCharacter = 0xFFFFFFFF;
constexpr char kIdentity[] = "<< /Registry (Adobe) /Ordering (Identity) /Supplement 0 >>";

// A CMap program mapping codes of codeBytes bytes one by one, kind being
// "bfchar" (to text) or "cidchar" (to CIDs), values written as given.
std::string CMapProgram(const std::string& systemInfo, const std::string& name, int type,
                        int codeBytes, const char* kind,
                        const std::vector<std::pair<unsigned, std::string>>& mappings) {
    std::string map = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n";
    map += "/CIDSystemInfo " + systemInfo + " def\n/CMapName /" + name + " def\n";
    map += "/CMapType " + std::to_string(type) + " def\n1 begincodespacerange\n";
    map += codeBytes == 1 ? "<00> <FF>" : "<0000> <FFFF>";
    map += "\nendcodespacerange\n";
    for (size_t at = 0; at < mappings.size(); at += kMappingsPerBlock) {
        const size_t end = std::min(mappings.size(), at + kMappingsPerBlock);
        map += std::to_string(end - at) + " begin" + kind + "\n";
        for (size_t i = at; i < end; ++i) {
            std::string code;
            AppendHex16(code, mappings[i].first);
            map += '<' + code.substr(codeBytes == 1 ? 2 : 0) + "> " + mappings[i].second + '\n';
        }
        map += std::string("end") + kind + "\n";
    }
    map += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    return map;
}

}  // namespace

int ToThousandthsOfEm(const SfntFace& face, int fontUnits) {
    return static_cast<int>(std::lround(fontUnits * 1000.0 / face.UnitsPerEm()));
}

uint16_t CodeGlyph(const SfntFace& face, uint8_t code) {
    return face.Glyph(Windows1252ToUnicode(code));
}

uint16_t GlyphWidth(const SfntFace& face, uint16_t glyph) {
    return static_cast<uint16_t>(ToThousandthsOfEm(face, face.Advance(glyph)));
}

int EmbeddedFace::SimpleFont(int& nextResource) {
    if (simpleResource_ == 0) {
        simpleResource_ = nextResource++;
    }
    return simpleResource_;
}

int EmbeddedFace::Type0Font(int& nextResource) {
    if (type0Resource_ == 0) {
        type0Resource_ = nextResource++;
    }
    return type0Resource_;
}

void EmbeddedFace::UseCodes(std::string_view codes) {
    for (const char code : codes) {
        codes_[static_cast<uint8_t>(code)] = true;
    }
}

void EmbeddedFace::UseGlyphs(const uint16_t* glyphs, const char32_t* characters, size_t count,
                             std::string& codes) {
    if (glyphCharacters_.empty()) {
        glyphCharacters_.assign(face_.GlyphCount(), 0);
    }
    for (size_t i = 0; i < count; ++i) {
        const uint16_t glyph = glyphs[i];
        const char32_t character = characters[i] != 0 ? characters[i] : kNoCharacter;
        if (glyph < glyphCharacters_.size() &&
            (glyphCharacters_[glyph] == 0 || glyphCharacters_[glyph] == kNoCharacter)) {
            glyphCharacters_[glyph] = character;
        }
        const uint16_t code = face_.Cid(glyph);
        codes += static_cast<char>(code >> 8);
        codes += static_cast<char>(code & 0xFF);
    }
}

void EmbeddedFace::UsePlacedGlyphs(const PlacedGlyph* glyphs, size_t count, std::string& codes) {
    for (size_t i = 0; i < count; ++i) {
        const PlacedGlyph& placed = glyphs[i];
        const char32_t first = placed.text.empty() ? 0 : placed.text[0];
        UseGlyphs(&placed.glyph, &first, 1, codes);
        if (placed.text.size() > 1 && glyphTexts_.count(placed.glyph) == 0 &&
            glyphCharacters_[placed.glyph] == first) {
            glyphTexts_.emplace(placed.glyph, placed.text);
        }
    }
}

std::vector<uint16_t> EmbeddedFace::GlyphsShown() const {
    std::vector<uint16_t> glyphs{0};
    for (unsigned code = 0; code < 256; ++code) {
        if (codes_[code]) {
            glyphs.push_back(CodeGlyph(face_, static_cast<uint8_t>(code)));
        }
    }
    for (size_t glyph = 0; glyph < glyphCharacters_.size(); ++glyph) {
        if (glyphCharacters_[glyph] != 0) {
            glyphs.push_back(static_cast<uint16_t>(glyph));
        }
    }
    std::sort(glyphs.begin(), glyphs.end());
    glyphs.erase(std::unique(glyphs.begin(), glyphs.end()), glyphs.end());
    return glyphs;
}

std::vector<EmbeddedFace::Shown> EmbeddedFace::GlyphCodes() const {
    std::vector<Shown> shown;
    for (size_t glyph = 0; glyph < glyphCharacters_.size(); ++glyph) {
        if (glyphCharacters_[glyph] != 0) {
            const uint16_t cid = face_.Cid(static_cast<uint16_t>(glyph));
            shown.push_back({cid, cid, static_cast<uint16_t>(glyph), glyphCharacters_[glyph]});
        }
    }
    std::sort(shown.begin(), shown.end(),
              [](const Shown& a, const Shown& b) { return a.code < b.code; });
    return shown;
}

std::vector<EmbeddedFace::Shown> EmbeddedFace::WindowsCodes() const {
    std::vector<Shown> shown;
    for (unsigned code = 0; code < 256; ++code) {
        if (codes_[code]) {
            const uint16_t glyph = CodeGlyph(face_, static_cast<uint8_t>(code));
            shown.push_back({static_cast<uint16_t>(code), face_.Cid(glyph), glyph,
                             Windows1252ToUnicode(static_cast<uint8_t>(code))});
        }
    }
    return shown;
}

// Six capitals that differ when the glyph set differs, as subset names want.
std::string EmbeddedFace::SubsetTag(const std::vector<uint16_t>& glyphs) const {
    uint64_t hash = 1469598103934665603ull;
    for (const uint16_t glyph : glyphs) {
        hash = (hash ^ glyph) * 1099511628211ull;
    }
    for (const char c : face_.PostScriptName()) {
        hash = (hash ^ static_cast<uint8_t>(c)) * 1099511628211ull;
    }
    std::string tag;
    for (int i = 0; i < 6; ++i) {
        tag += static_cast<char>('A' + hash % 26);
        hash /= 26;
    }
    return tag;
}

uint32_t EmbeddedFace::PutProgram(ObjectWriter& objects,
                                  const std::vector<uint16_t>& glyphs) const {
    std::vector<std::pair<char16_t, uint16_t>> cmap;
    for (unsigned code = 0; code < 256; ++code) {
        if (codes_[code]) {
            const char32_t c = Windows1252ToUnicode(static_cast<uint8_t>(code));
            cmap.emplace_back(static_cast<char16_t>(c), face_.Glyph(c));
        }
    }
    std::sort(cmap.begin(), cmap.end());
    const bool cff = face_.CffOutlines();
    const std::vector<uint8_t> program =
        cff ? SubsetCff(face_, glyphs) : SubsetFace(face_, glyphs, cmap);
    if (program.empty()) {
        return 0;  // a face that cannot be subset is named, not embedded
    }
    const uint32_t number = objects.NewObject();
    const std::string_view bytes(reinterpret_cast<const char*>(program.data()), program.size());
    objects.PutStream(
        number, cff ? "/Subtype /CIDFontType0C" : "/Length1 " + std::to_string(program.size()),
        bytes);
    return number;
}

uint32_t EmbeddedFace::PutDescriptor(ObjectWriter& objects, const std::string& name, bool symbolic,
                                     uint32_t program) const {
    int flags = symbolic ? kSymbolic : kNonsymbolic;
    flags |= face_.FixedPitch() ? kFixedPitch : 0;
    flags |= face_.ItalicAngle() != 0 ? kItalic : 0;
    std::string body = "<< /Type /FontDescriptor /FontName /" + name;
    body += " /Flags " + std::to_string(flags) + " /FontBBox [";
    for (const int units : {face_.XMin(), face_.YMin(), face_.XMax(), face_.YMax()}) {
        AppendInteger(body, ToThousandthsOfEm(face_, units));
        body += ' ';
    }
    body += "] /ItalicAngle ";
    AppendThousandths(body, ToThousandths(std::clamp(face_.ItalicAngle(), -90.0, 90.0)));
    body += " /Ascent ";
    AppendInteger(body, ToThousandthsOfEm(face_, face_.Ascender()));
    body += " /Descent ";
    AppendInteger(body, ToThousandthsOfEm(face_, face_.Descender()));
    body += " /CapHeight ";
    AppendInteger(body, ToThousandthsOfEm(face_, face_.CapHeight()));
    // Readers only use the stem width as a hint; this follows the weight.
    body += " /StemV " + std::to_string(50 + face_.Weight() / 5);
    if (program != 0) {
        body += face_.CffOutlines() ? " /FontFile3 " : " /FontFile2 ";
        AppendReference(body, program);
    }
    body += " >>";
    const uint32_t number = objects.NewObject();
    objects.PutObject(number, body);
    return number;
}

void EmbeddedFace::PutSimpleFont(ObjectWriter& objects, uint32_t number, const std::string& name,
                                 uint32_t descriptor) const {
    unsigned first = 0;
    while (first < 255 && !codes_[first]) {
        ++first;
    }
    unsigned last = 255;
    while (last > first && !codes_[last]) {
        --last;
    }
    std::string body = "<< /Type /Font /Subtype /TrueType /BaseFont /" + name;
    body += " /FirstChar " + std::to_string(first) + " /LastChar " + std::to_string(last);
    body += " /Widths [";
    for (unsigned code = first; code <= last; ++code) {
        const uint16_t glyph = codes_[code] ? CodeGlyph(face_, static_cast<uint8_t>(code)) : 0;
        AppendInteger(body, codes_[code] ? GlyphWidth(face_, glyph) : 0);
        body += ' ';
    }
    body += "] /Encoding /WinAnsiEncoding /FontDescriptor ";
    AppendReference(body, descriptor);
    // Readers know WinAnsiEncoding's text; archives want it stated.
    body += " /ToUnicode ";
    AppendReference(body, PutToUnicode(objects, WindowsCodes(), true));
    body += " >>";
    objects.PutObject(number, body);
}

// The /W array for the CIDs shown, leaving out those of the default width.
std::string EmbeddedFace::WidthsArray(const std::vector<Shown>& shown, int& defaultWidth) const {
    std::map<uint16_t, int> widths;  // by CID
    std::map<int, int> counts;
    for (const Shown& code : shown) {
        if (widths.emplace(code.cid, GlyphWidth(face_, code.glyph)).second) {
            ++counts[widths[code.cid]];
        }
    }
    defaultWidth = 1000;
    int most = 0;
    for (const auto& [width, count] : counts) {
        if (count > most) {
            most = count;
            defaultWidth = width;
        }
    }
    std::string array = "[";
    long runEnd = -2;  // CID after the last one written
    for (const auto& [cid, width] : widths) {
        if (width == defaultWidth) {
            continue;
        }
        if (cid != runEnd) {
            array += runEnd < 0 ? "" : "] ";
            array += std::to_string(cid) + " [";
        } else {
            array += ' ';
        }
        AppendInteger(array, width);
        runEnd = cid + 1;
    }
    array += runEnd < 0 ? "]" : "]]";
    return array;
}

uint32_t EmbeddedFace::PutCidFont(ObjectWriter& objects, const std::string& name,
                                  uint32_t descriptor, const std::vector<Shown>& shown) const {
    int defaultWidth = 1000;
    const std::string widths = WidthsArray(shown, defaultWidth);
    const uint32_t number = objects.NewObject();
    std::string body = "<< /Type /Font /Subtype /";
    body += face_.CffOutlines() ? "CIDFontType0" : "CIDFontType2";
    body += " /BaseFont /" + name + " /CIDSystemInfo " + kIdentity + " /FontDescriptor ";
    AppendReference(body, descriptor);
    body += " /DW " + std::to_string(defaultWidth) + " /W " + widths;
    body += face_.CffOutlines() ? " >>" : " /CIDToGIDMap /Identity >>";
    objects.PutObject(number, body);
    return number;
}

// The text each code extracts as; ligatures by their glyph's whole text.
uint32_t EmbeddedFace::PutToUnicode(ObjectWriter& objects, const std::vector<Shown>& shown,
                                    bool oneByte) const {
    std::vector<std::pair<unsigned, std::string>> texts;
    for (const Shown& code : shown) {
        if (code.character == kNoCharacter) {
            continue;  // a glyph that continues its cluster extracts as nothing
        }
        std::string text = "<";
        const auto ligature = oneByte ? glyphTexts_.end() : glyphTexts_.find(code.glyph);
        if (ligature == glyphTexts_.end()) {
            AppendUtf16Hex(text, code.character);
        } else {
            for (const char32_t c : ligature->second) {
                AppendUtf16Hex(text, c);
            }
        }
        texts.emplace_back(code.code, text + '>');
    }
    const uint32_t number = objects.NewObject();
    objects.PutStream(number, "",
                      CMapProgram("<< /Registry (Adobe) /Ordering (UCS) /Supplement 0 >>",
                                  "Adobe-Identity-UCS", 2, oneByte ? 1 : 2, "bfchar", texts));
    return number;
}

void EmbeddedFace::PutType0Font(ObjectWriter& objects, uint32_t number, const std::string& name,
                                uint32_t descriptor, const std::vector<Shown>& shown,
                                bool oneByte) const {
    const uint32_t cidFont = PutCidFont(objects, name, descriptor, shown);
    std::vector<std::pair<unsigned, std::string>> cids;
    for (const Shown& code : shown) {
        cids.emplace_back(code.code, std::to_string(code.cid));
    }
    const uint32_t toUnicode = PutToUnicode(objects, shown, oneByte);

    std::string body = "<< /Type /Font /Subtype /Type0 /BaseFont /" + name + " /Encoding ";
    if (oneByte) {
        const std::string cmapName = name + "-WinAnsi";
        const uint32_t encoding = objects.NewObject();
        objects.PutStream(encoding,
                          "/Type /CMap /CMapName /" + cmapName + " /CIDSystemInfo " + kIdentity,
                          CMapProgram(kIdentity, cmapName, 1, 1, "cidchar", cids));
        AppendReference(body, encoding);
    } else {
        body += "/Identity-H";
    }
    body += " /DescendantFonts [";
    AppendReference(body, cidFont);
    body += "] /ToUnicode ";
    AppendReference(body, toUnicode);
    body += " >>";
    objects.PutObject(number, body);
}

void EmbeddedFace::Put(ObjectWriter& objects, std::string& entries) const {
    if (simpleResource_ == 0 && type0Resource_ == 0) {
        return;
    }
    const std::vector<uint16_t> glyphs = GlyphsShown();
    const std::string name = SubsetTag(glyphs) + "+" + face_.PostScriptName();
    const uint32_t program = PutProgram(objects, glyphs);
    const auto addEntry = [&entries](int resource, uint32_t number) {
        entries += "/F" + std::to_string(resource) + ' ';
        AppendReference(entries, number);
        entries += ' ';
    };
    if (simpleResource_ != 0) {
        const uint32_t number = objects.NewObject();
        if (face_.CffOutlines()) {
            PutType0Font(objects, number, name, PutDescriptor(objects, name, true, program),
                         WindowsCodes(), true);
        } else {
            PutSimpleFont(objects, number, name, PutDescriptor(objects, name, false, program));
        }
        addEntry(simpleResource_, number);
    }
    if (type0Resource_ != 0) {
        const uint32_t number = objects.NewObject();
        PutType0Font(objects, number, name, PutDescriptor(objects, name, true, program),
                     GlyphCodes(), false);
        addEntry(type0Resource_, number);
    }
}

}  // namespace pelm32::pdf
