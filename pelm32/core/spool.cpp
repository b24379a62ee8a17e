#include "pelm32/core/spool.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace pelm32 {

namespace {

constexpr size_t kWriteBuffer = 1 << 20;
constexpr size_t kReadBuffer = 1 << 18;

}  // namespace

SpoolFile::SpoolFile() {
    file_ = native::OpenTemporaryFile(Folder(), error_);
    buffer_.reserve(kWriteBuffer);
}

SpoolFile::~SpoolFile() {
    native::Close(file_);
}

void SpoolFile::Fail(int error) {
    if (!failed_) {
        failed_ = true;
        error_ = error;
    }
}

void SpoolFile::Append(const void* data, size_t size) {
    if (!Good()) {
        return;
    }
    auto bytes = static_cast<const char*>(data);
    if (buffer_.size() + size > kWriteBuffer && !Flush()) {
        return;
    }
    if (size >= kWriteBuffer) {
        int error = 0;
        if (!native::WriteAt(file_, bytes, size, written_, error)) {
            Fail(error);
            return;
        }
        written_ += size;
        return;
    }
    buffer_.insert(buffer_.end(), bytes, bytes + size);
}

bool SpoolFile::Flush() {
    if (!Good()) {
        return false;
    }
    int error = 0;
    if (!native::WriteAt(file_, buffer_.data(), buffer_.size(), written_, error)) {
        Fail(error);
        return false;
    }
    written_ += buffer_.size();
    buffer_.clear();
    return true;
}

bool SpoolFile::ReadAt(uint64_t offset, void* out, size_t size, int& error) const {
    if (file_ == native::kNoFile) {
        error = error_;
        return false;
    }
    return native::ReadAt(file_, out, size, offset, error);
}

std::string SpoolReadFailure(int error) {
    const std::string failure = "the document's spool could not be read back";
    return error == 0 ? failure : failure + ": " + native::ErrorText(error);
}

SpoolReader::SpoolReader(const SpoolFile& file, uint64_t begin, uint64_t end)
    : file_(file), offset_(begin), end_(end) {}

bool SpoolReader::Read(void* out, size_t size) {
    if (offset_ + size > end_) {
        return false;
    }
    auto bytes = static_cast<char*>(out);
    while (size > 0) {
        const bool inBuffer = offset_ >= bufferStart_ && offset_ < bufferStart_ + bufferFill_;
        if (!inBuffer) {
            const size_t want =
                static_cast<size_t>(std::min<uint64_t>(kReadBuffer, end_ - offset_));
            if (want >= size && size > kReadBuffer / 2) {
                // a large record: straight into the caller's memory
                if (!file_.ReadAt(offset_, bytes, size, error_)) {
                    return false;
                }
                offset_ += size;
                return true;
            }
            buffer_.resize(want);
            if (!file_.ReadAt(offset_, buffer_.data(), want, error_)) {
                return false;
            }
            bufferStart_ = offset_;
            bufferFill_ = want;
        }
        const size_t at = static_cast<size_t>(offset_ - bufferStart_);
        const size_t n = std::min(size, bufferFill_ - at);
        std::memcpy(bytes, buffer_.data() + at, n);
        bytes += n;
        size -= n;
        offset_ += n;
    }
    return true;
}

}  // namespace pelm32
