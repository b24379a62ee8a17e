// What makes a PDF fit for archives besides its content: the document's
// metadata as XMP (title, dates, producer, and the archival and accessible
// levels the file claims), agreeing with its information dictionary.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pelm32::pdf {

struct DocumentInfo {
    std::string_view titleUtf8;
    std::string_view creator;  // also the producer
    int64_t created = 0;       // seconds since 1970, UTC
};

// The creation time as the information dictionary writes it
// (D:YYYYMMDDHHmmSSZ) and as XMP does (YYYY-MM-DDTHH:mm:SSZ).
std::string PdfDate(int64_t seconds);
std::string XmpDate(int64_t seconds);

// The XMP packet of the catalogue's /Metadata: the same title, creator,
// producer and dates as the information dictionary, PDF/A-2u and PDF/UA-1.
std::string XmpPacket(const DocumentInfo& info);

}  // namespace pelm32::pdf
