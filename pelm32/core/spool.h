// A document's drawing records, kept in a temporary file that no one sees:
// memory stays flat however long the document grows, and nothing is left
// behind when the program ends, however it ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "pelm32/core/native_file.h"

namespace pelm32 {

class SpoolFile {
  public:
    SpoolFile();
    ~SpoolFile();
    SpoolFile(const SpoolFile&) = delete;
    SpoolFile& operator=(const SpoolFile&) = delete;

    // False when no temporary file could be made or a write has failed.
    bool Good() const { return file_ != native::kNoFile && !failed_; }
    // The system's error code of the first failure, 0 when there was none.
    int Error() const { return error_; }
    // Where spool files are made.
    static std::string Folder() { return native::TemporaryFolder(); }

    void Append(const void* data, size_t size);
    template <typename T>
    void AppendValue(const T& value) {
        Append(&value, sizeof value);
    }
    // Offset at which the next record will stand.
    uint64_t Size() const { return written_ + buffer_.size(); }
    // Writes out what is buffered; reads see everything appended before.
    bool Flush();

    // Reads size bytes at offset into out; false, with the system's error
    // code in error, when they could not all be read.
    bool ReadAt(uint64_t offset, void* out, size_t size, int& error) const;
    // Where a reader stands in one of the blocks read back.
    struct View {
        const char* bytes = nullptr;
        size_t size = 0;  // bytes on from there, not past the reader's end
        int block = 0;
        uint64_t generation = 0;  // 0: none
    };
    // The bytes from offset on, as far as the block read around them goes
    // (at least 1), but not past end. Readers of neighbouring pages share
    // the blocks: a page is read from the file once, however often it is
    // compared and drawn. False, with the system's error code in error,
    // when they could not be read. What was written before never changes,
    // so a view stays good until its block is read again (Holds).
    bool ViewAt(uint64_t offset, uint64_t end, View& view, int& error) const;
    bool Holds(const View& view) const {
        return view.generation != 0 && blocks_[view.block].generation == view.generation;
    }

  private:
    struct Block {
        std::vector<char> bytes;
        uint64_t start = 0;
        size_t fill = 0;
        uint64_t lastUse = 0;
        uint64_t generation = 0;  // which reading of the file it holds
    };
    void Fail(int error);

    native::File file_ = native::kNoFile;
    bool failed_ = false;
    int error_ = 0;
    uint64_t written_ = 0;
    std::vector<char> buffer_;
    // Two: a page is compared with the next while both are read.
    mutable Block blocks_[2];
    mutable uint64_t uses_ = 0;
    mutable uint64_t readings_ = 0;
};

// Sequential reading of a stretch of the spool, through the file's blocks.
class SpoolReader {
  public:
    SpoolReader(const SpoolFile& file, uint64_t begin, uint64_t end);
    bool AtEnd() const { return offset_ >= end_; }
    // False when the bytes are not there: beyond the stretch (Error() 0)
    // or unreadable (Error() the system's code).
    bool Read(void* out, size_t size) {
        if (size <= view_.size && file_.Holds(view_)) {
            std::memcpy(out, view_.bytes, size);
            view_.bytes += size;
            view_.size -= size;
            offset_ += size;
            return true;
        }
        return ReadThroughBlocks(out, size);
    }
    int Error() const { return error_; }
    template <typename T>
    bool ReadValue(T& value) {
        return Read(&value, sizeof value);
    }

  private:
    bool ReadThroughBlocks(void* out, size_t size);

    const SpoolFile& file_;
    uint64_t offset_;
    uint64_t end_;
    SpoolFile::View view_;  // the bytes at offset_, while its block holds them
    int error_ = 0;
};

// What the user is told when a spool cannot be read back: the system's
// reason for error, where there is one.
std::string SpoolReadFailure(int error);

}  // namespace pelm32
