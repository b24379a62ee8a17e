#include "pelm32/core/spool.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace pelm32 {

namespace {

constexpr size_t kWriteBuffer = 1 << 18;
constexpr size_t kReadBlock = 1 << 17;

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

bool SpoolFile::ViewAt(uint64_t offset, uint64_t end, View& view, int& error) const {
    int found = -1;
    for (int i = 0; i < 2; ++i) {
        if (offset >= blocks_[i].start && offset < blocks_[i].start + blocks_[i].fill) {
            found = i;
        }
    }
    if (found < 0) {
        found = blocks_[0].lastUse <= blocks_[1].lastUse ? 0 : 1;
        Block& block = blocks_[found];
        const auto want = static_cast<size_t>(
            std::min<uint64_t>(kReadBlock, std::max(written_, end) - std::min(offset, end)));
        block.bytes.resize(want);
        block.fill = 0;
        block.generation = 0;
        if (want == 0 || !ReadAt(offset, block.bytes.data(), want, error)) {
            return false;
        }
        block.start = offset;
        block.fill = want;
        block.generation = ++readings_;
    }
    Block& block = blocks_[found];
    block.lastUse = ++uses_;
    const auto at = static_cast<size_t>(offset - block.start);
    view.bytes = block.bytes.data() + at;
    view.size = static_cast<size_t>(std::min<uint64_t>(block.fill - at, end - offset));
    view.block = found;
    view.generation = block.generation;
    return true;
}

std::string SpoolReadFailure(int error) {
    const std::string failure = "the document's spool could not be read back";
    return error == 0 ? failure : failure + ": " + native::ErrorText(error);
}

SpoolReader::SpoolReader(const SpoolFile& file, uint64_t begin, uint64_t end)
    : file_(file), offset_(begin), end_(end) {}

bool SpoolReader::ReadThroughBlocks(void* out, size_t size) {
    if (offset_ + size > end_) {
        return false;
    }
    auto bytes = static_cast<char*>(out);
    if (size > kReadBlock / 2) {
        // a large record: straight into the caller's memory
        view_ = {};
        if (!file_.ReadAt(offset_, bytes, size, error_)) {
            return false;
        }
        offset_ += size;
        return true;
    }
    while (size > 0) {
        if (view_.size == 0 || !file_.Holds(view_)) {
            if (!file_.ViewAt(offset_, end_, view_, error_)) {
                view_ = {};
                return false;
            }
        }
        const size_t n = std::min(size, view_.size);
        std::memcpy(bytes, view_.bytes, n);
        bytes += n;
        size -= n;
        offset_ += n;
        view_.bytes += n;
        view_.size -= n;
    }
    return true;
}

}  // namespace pelm32
