// Where a PDF's bytes go: a file through the engine, or memory in tests.
#pragma once

#include <cstddef>
#include <string>

namespace pelm32::pdf {

class ByteSink {
  public:
    virtual ~ByteSink() = default;
    // False once a write has failed; the writer stops writing then.
    virtual bool Write(const void* data, size_t size) = 0;
};

// Keeps everything in a string.
class MemorySink : public ByteSink {
  public:
    bool Write(const void* data, size_t size) override {
        bytes.append(static_cast<const char*>(data), size);
        return true;
    }
    std::string bytes;
};

}  // namespace pelm32::pdf
