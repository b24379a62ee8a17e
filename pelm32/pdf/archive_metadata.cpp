#include "pelm32/pdf/archive_metadata.h"

#include <chrono>
#include <cstdio>

namespace pelm32::pdf {

namespace {

struct Civil {
    int year;
    unsigned month, day, hour, minute, second;
};

Civil CivilTime(int64_t seconds) {
    using namespace std::chrono;
    const sys_seconds time{std::chrono::seconds(seconds)};
    const sys_days day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss clock{time - day};
    return {static_cast<int>(date.year()),
            static_cast<unsigned>(date.month()),
            static_cast<unsigned>(date.day()),
            static_cast<unsigned>(clock.hours().count()),
            static_cast<unsigned>(clock.minutes().count()),
            static_cast<unsigned>(clock.seconds().count())};
}

std::string Formatted(const char* format, int64_t seconds) {
    const Civil c = CivilTime(seconds);
    char text[32];
    std::snprintf(text, sizeof text, format, c.year, c.month, c.day, c.hour, c.minute, c.second);
    return text;
}

std::string XmlEscaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                // XML 1.0 has no place for other control characters.
                if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n') {
                    out += c;
                }
        }
    }
    return out;
}

// PDF/A-2 knows the pdfuaid schema only when the file describes it.
constexpr char kUaSchema[] =
    "   <pdfaExtension:schemas><rdf:Bag><rdf:li rdf:parseType=\"Resource\">\n"
    "    <pdfaSchema:schema>PDF/UA identification</pdfaSchema:schema>\n"
    "    <pdfaSchema:namespaceURI>http://www.aiim.org/pdfua/ns/id/</pdfaSchema:namespaceURI>\n"
    "    <pdfaSchema:prefix>pdfuaid</pdfaSchema:prefix>\n"
    "    <pdfaSchema:property><rdf:Seq><rdf:li rdf:parseType=\"Resource\">\n"
    "     <pdfaProperty:name>part</pdfaProperty:name>\n"
    "     <pdfaProperty:valueType>Integer</pdfaProperty:valueType>\n"
    "     <pdfaProperty:category>internal</pdfaProperty:category>\n"
    "     <pdfaProperty:description>The ISO 14289 document the file conforms "
    "to</pdfaProperty:description>\n"
    "    </rdf:li></rdf:Seq></pdfaSchema:property>\n"
    "   </rdf:li></rdf:Bag></pdfaExtension:schemas>\n";

}  // namespace

std::string PdfDate(int64_t seconds) {
    return Formatted("D:%04d%02u%02u%02u%02u%02uZ", seconds);
}

std::string XmpDate(int64_t seconds) {
    return Formatted("%04d-%02u-%02uT%02u:%02u:%02uZ", seconds);
}

std::string XmpPacket(const DocumentInfo& info) {
    const std::string date = XmpDate(info.created);
    const std::string creator = XmlEscaped(info.creator);
    std::string xmp =
        "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
        "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
        " <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
        "  <rdf:Description rdf:about=\"\"\n"
        "    xmlns:dc=\"http://purl.org/dc/elements/1.1/\"\n"
        "    xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\"\n"
        "    xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\"\n"
        "    xmlns:pdfaid=\"http://www.aiim.org/pdfa/ns/id/\"\n"
        "    xmlns:pdfuaid=\"http://www.aiim.org/pdfua/ns/id/\"\n"
        "    xmlns:pdfaExtension=\"http://www.aiim.org/pdfa/ns/extension/\"\n"
        "    xmlns:pdfaSchema=\"http://www.aiim.org/pdfa/ns/schema#\"\n"
        "    xmlns:pdfaProperty=\"http://www.aiim.org/pdfa/ns/property#\">\n"
        "   <dc:format>application/pdf</dc:format>\n"
        "   <dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">";
    xmp += XmlEscaped(info.titleUtf8);
    xmp += "</rdf:li></rdf:Alt></dc:title>\n";
    xmp += "   <xmp:CreateDate>" + date + "</xmp:CreateDate>\n";
    xmp += "   <xmp:ModifyDate>" + date + "</xmp:ModifyDate>\n";
    xmp += "   <xmp:MetadataDate>" + date + "</xmp:MetadataDate>\n";
    xmp += "   <xmp:CreatorTool>" + creator + "</xmp:CreatorTool>\n";
    xmp += "   <pdf:Producer>" + creator + "</pdf:Producer>\n";
    xmp += "   <pdfaid:part>2</pdfaid:part>\n   <pdfaid:conformance>U</pdfaid:conformance>\n";
    xmp += "   <pdfuaid:part>1</pdfuaid:part>\n";
    xmp += kUaSchema;
    xmp += "  </rdf:Description>\n </rdf:RDF>\n</x:xmpmeta>\n";
    // Room for an editor to change the packet in place, as XMP asks.
    xmp += std::string(20, ' ') + "\n<?xpacket end=\"w\"?>";
    return xmp;
}

}  // namespace pelm32::pdf
