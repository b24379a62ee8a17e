// The file layer of a PDF 1.7: numbered objects, the small ones packed into
// compressed object streams, streams compressed and written in the order
// they come (on a thread of their own), and a cross-reference stream with
// the trailer at the end.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "pelm32/pdf/background_writer.h"
#include "pelm32/pdf/byte_sink.h"
#include "pelm32/pdf/deflate.h"

namespace pelm32::pdf {

class ObjectWriter {
  public:
    // Writes the file header at once.
    ObjectWriter(ByteSink& sink, Deflater& deflater);
    ObjectWriter(const ObjectWriter&) = delete;
    ObjectWriter& operator=(const ObjectWriter&) = delete;

    // Reserves the next object number (1, 2, ...). Every reserved number must
    // be given its object with PutObject or PutStream before Finish.
    uint32_t NewObject();

    // A non-stream object (dictionary, array, number...), its body without
    // "n 0 obj"/"endobj"; it goes into the current object stream.
    void PutObject(uint32_t number, std::string_view body);

    // A stream object, written to the file in turn. dictionary holds the
    // extra entries of its dictionary without "<<", ">>", /Length and
    // /Filter (for example "/Type /XObject /Subtype /Image ..."), possibly
    // empty. The data is compressed (/Filter /FlateDecode) unless compress is
    // false.
    void PutStream(uint32_t number, std::string_view dictionary, std::string_view data,
                   bool compress = true);
    // The same for data already in the zlib format: written as it is, with
    // /Filter /FlateDecode.
    void PutDeflatedStream(uint32_t number, std::string_view dictionary, std::string_view deflated);

    // Ends the file: the open object stream, then the cross-reference stream
    // whose dictionary carries /Root, /Info (none when info is 0) and /ID
    // (fileId, 16 bytes, used for both halves), then "%%EOF". False when any
    // write failed or a reserved number was never given its object; the
    // file then gets no cross-reference stream.
    bool Finish(uint32_t root, uint32_t info, std::string_view fileId);

    // False once a write to the sink has failed. Waits for what is being
    // written.
    bool Good();
    // Bytes written so far, once what is being written is written.
    uint64_t Offset();

  private:
    struct Entry {
        uint8_t type = 0;     // 0 not yet given, 1 at an offset, 2 in an object stream
        uint64_t offset = 0;  // type 1: file offset; type 2: object stream number
        uint32_t index = 0;   // type 2: index inside that object stream
    };
    void FlushObjectStream();
    // Records where an object went; false (and Finish fails) when the
    // number was never reserved or already has its object.
    bool Give(uint32_t number, Entry entry);
    bool Given(uint32_t number) const;
    // Gives the streams written so far their offsets.
    void Settle();
    void WriteXref(uint32_t number, uint32_t root, uint32_t info, std::string_view fileId);

    BackgroundWriter out_;
    bool numbersOk_ = true;
    // By object number; [0] is the free head. A stream's offset is known
    // once written (Settle).
    std::vector<Entry> entries_;
    // The object stream being filled: its objects' numbers and offsets
    // inside the body, and the body.
    std::vector<std::pair<uint32_t, uint32_t>> packedIndex_;
    std::string packedBody_;
    std::string scratch_;
    std::vector<std::pair<uint32_t, uint64_t>> placed_;
};

}  // namespace pelm32::pdf
