// Compression of stream data in the zlib format that /FlateDecode reads.
// Two implementations: libdeflate (faster, smaller output) where the build
// has it, and zlib, which every platform has.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace pelm32::pdf {

class Deflater {
  public:
    virtual ~Deflater() = default;
    // Appends the zlib stream of data[0, size) to out.
    virtual void Compress(const void* data, size_t size, std::string& out) = 0;
    // Which library does the work ("zlib" or "libdeflate").
    virtual const char* Name() const = 0;
    // Another of the same library and level, for a second thread: one
    // deflater compresses one stream at a time.
    virtual std::unique_ptr<Deflater> Twin() const = 0;
};

std::unique_ptr<Deflater> MakeZlibDeflater(int level);
// Null when the build has no libdeflate.
std::unique_ptr<Deflater> MakeLibdeflateDeflater(int level);
// The one the engine uses: libdeflate when built with it, else zlib.
std::unique_ptr<Deflater> MakeDeflater();

}  // namespace pelm32::pdf
