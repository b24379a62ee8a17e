// Numbered text files read in blocks, line by line, and the directory queries.
//
// Locks are always taken in one order: the file lock (whole services that
// change what is open), the table lock (the open-file list alone), then the
// system-call gate (each system call).
#include "runtime/text_file_input.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <utility>

#include "platform/win32_file.h"
#include "runtime/error_numbers.h"
#include "runtime/spin_lock.h"
#include "runtime/system_call_gate.h"
#include "runtime/text_file_input_detail.h"

namespace {

constexpr unsigned char kCarriageReturn = 13;
constexpr unsigned char kLineFeed = 10;
constexpr unsigned char kEndOfDataMark = 26;

constexpr std::uint8_t kInputMode = 0x01;
constexpr std::uint16_t kDiskKind = 1;
constexpr std::uint16_t kOtherKind = 2;
constexpr std::uint8_t kReadAccessBit = 0x80;
constexpr std::uint8_t kWriteAccessBit = 0x40;
constexpr std::uint8_t kSharingCodeBits = 0x07;
// From this sharing code on, others may write the file: no byte is taken
// from an old block.
constexpr std::uint8_t kFirstWriteSharingCode = 3;

constexpr std::int16_t kHighestFileNumber = 32767;
constexpr std::size_t kStagingSize = 256;
constexpr DWORD kDirectoryBufferSize = 0x104;

constexpr std::int32_t kAdmittedAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;

struct OpenFileRecord {
    OpenFileRecord* next = nullptr;
    std::int16_t number = 0;
    HANDLE handle = INVALID_HANDLE_VALUE;
    std::uint16_t kind = kOtherKind;
    std::uint8_t mode = 0;
    std::uint8_t sharing = 0;
    DynamicString name;
    std::uint64_t base = 0;
    std::uint32_t length = 0;
    std::uint32_t position = 0;
    std::uint32_t count = 0;
    bool callerOwnedHandle = false;
    // Once a read has failed the file gives no more text, so a reader that
    // loops until the end always stops.
    bool readFailed = false;
    // A pipe or device line ended in a CR with nothing after it yet: an LF
    // that comes first in the next read still belongs to that line end.
    bool lineFeedPending = false;
    unsigned char* buffer = nullptr;

    ~OpenFileRecord() { std::free(buffer); }
};

SpinLock fileLock;
SpinLock tableLock;
OpenFileRecord* openFiles = nullptr;  // newest first
std::int16_t nextNumberCounter = 0;
HANDLE openSearch = INVALID_HANDLE_VALUE;  // under the file lock

OpenFileRecord* FindRecord(std::int16_t number) {
    SpinLockHolder table(tableLock);
    OpenFileRecord* record = openFiles;
    while (record != nullptr && record->number != number) {
        record = record->next;
    }
    return record;
}

void InsertRecord(OpenFileRecord* record) {
    SpinLockHolder table(tableLock);
    record->next = openFiles;
    openFiles = record;
}

OpenFileRecord* RemoveRecord(std::int16_t number) {
    SpinLockHolder table(tableLock);
    for (OpenFileRecord** link = &openFiles; *link != nullptr; link = &(*link)->next) {
        if ((*link)->number == number) {
            OpenFileRecord* record = *link;
            *link = record->next;
            record->next = nullptr;
            return record;
        }
    }
    return nullptr;
}

// Only the low 16 bits of a file number identify the file.
std::int16_t FileNumberOf(std::int32_t fileNumber) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(fileNumber & 0xFFFF));
}

void CloseSystemHandle(HANDLE handle) {
    ThroughSystemCallGate([&] { return CloseHandle(handle); });
}

// Fills the record's block for an input disk file or takes it from the start.
int ReadFirstBlock(OpenFileRecord& record) {
    LONG high = 0;
    auto seek =
        ThroughSystemCallGate([&] { return SetFilePointer(record.handle, 0, &high, FILE_BEGIN); });
    if (seek.failed) {
        return seek.errorNumber;
    }
    DWORD got = 0;
    auto read = ThroughSystemCallGate(
        [&] { return ReadFile(record.handle, record.buffer, record.length, &got, nullptr); });
    if (read.failed) {
        return read.errorNumber;
    }
    record.count = got;
    return 0;
}

// Makes the system handle for a record that has its name; a run-time error
// number on failure (0 for none).
int OpenSystemFile(OpenFileRecord& record) {
    DWORD access = ((record.sharing & kReadAccessBit) ? GENERIC_READ : 0) |
                   ((record.sharing & kWriteAccessBit) ? GENERIC_WRITE : 0);
    std::uint8_t sharingCode = record.sharing & kSharingCodeBits;
    DWORD shareMode = sharingCode > 0 ? sharingCode - 1u : 0u;
    const char* path = record.name.Data();
    auto created = ThroughSystemCallGate([&] {
        return CreateFileA(path, access, shareMode, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    });
    if (created.result == INVALID_HANDLE_VALUE) {
        return created.failed ? created.errorNumber : 51;
    }
    record.handle = created.result;
    auto type = ThroughSystemCallGate([&] { return GetFileType(record.handle); });
    record.kind = type.result == FILE_TYPE_DISK ? kDiskKind : kOtherKind;
    if (record.kind == kDiskKind && (record.mode & kInputMode) != 0) {
        if (int error = ReadFirstBlock(record); error != 0) {
            CloseSystemHandle(record.handle);
            return error;
        }
    }
    return 0;
}

enum class Peek { kByte, kEnd, kFailed };

Peek FailRead(OpenFileRecord& record, int errorNumber) {
    record.readFailed = true;
    record.count = 0;
    record.position = 0;
    RecordErrorNumber(errorNumber);
    return Peek::kFailed;
}

Peek RefillDisk(OpenFileRecord& record) {
    std::uint64_t offset = record.base + record.position;
    LONG high = static_cast<LONG>(offset >> 32);
    auto low = static_cast<LONG>(static_cast<std::uint32_t>(offset & 0xFFFFFFFFu));
    record.base = offset;
    record.position = 0;
    record.count = 0;
    auto seek = ThroughSystemCallGate(
        [&] { return SetFilePointer(record.handle, low, &high, FILE_BEGIN); });
    if (seek.failed) {
        return FailRead(record, seek.errorNumber);
    }
    DWORD got = 0;
    auto read = ThroughSystemCallGate(
        [&] { return ReadFile(record.handle, record.buffer, record.length, &got, nullptr); });
    if (read.failed) {
        return FailRead(record, read.errorNumber);
    }
    record.count = got;
    return got > 0 ? Peek::kByte : Peek::kEnd;
}

// A pipe's end is its writer's close (a broken pipe on Windows) or the
// end-of-file error; a device's is a read that gives nothing.
bool IsStreamEnd(const GateOutcome<BOOL>& read) {
    return read.errorNumber == kPastEndOfFile || read.systemError == ERROR_BROKEN_PIPE;
}

// Pipes and devices are read a block at a time too, each read giving what
// the source has, waiting until it has something.
Peek RefillStream(OpenFileRecord& record) {
    for (;;) {
        record.base += record.position;
        record.position = 0;
        record.count = 0;
        DWORD got = 0;
        auto read = ThroughSystemCallGate(
            [&] { return ReadFile(record.handle, record.buffer, record.length, &got, nullptr); });
        if (read.failed) {
            return IsStreamEnd(read) ? Peek::kEnd : FailRead(record, read.errorNumber);
        }
        record.count = got;
        if (got == 0) {
            return Peek::kEnd;
        }
        if (std::exchange(record.lineFeedPending, false) && record.buffer[0] == kLineFeed) {
            record.position = 1;
        }
        if (record.position < record.count) {
            return Peek::kByte;
        }
    }
}

// Only a disk file shared for writing takes every byte fresh from the
// system; a pipe's bytes exist once, so a buffered one is never dropped.
bool FreshBytesOnly(const OpenFileRecord& record) {
    return record.kind == kDiskKind &&
           (record.sharing & kSharingCodeBits) >= kFirstWriteSharingCode;
}

// Makes the next byte stand at buffer[position] without consuming it.
Peek PeekNextByte(OpenFileRecord& record) {
    if (record.readFailed) {
        return Peek::kEnd;  // reported when it happened
    }
    if (record.position < record.count && !FreshBytesOnly(record)) {
        return Peek::kByte;
    }
    return record.kind == kDiskKind ? RefillDisk(record) : RefillStream(record);
}

// After a CR: an LF that follows is part of the line end, also in the next
// block. A pipe is not waited on for it, so a line is handed out as soon as
// its CR arrives; the next read skips the LF. False when a read failed.
bool SkipLineFeedAfterCarriageReturn(OpenFileRecord& record) {
    if (record.kind != kDiskKind && record.position == record.count) {
        record.lineFeedPending = true;
        return true;
    }
    Peek peek = PeekNextByte(record);
    if (peek == Peek::kFailed) {
        return false;
    }
    if (peek == Peek::kByte && record.buffer[record.position] == kLineFeed) {
        ++record.position;
    }
    return true;
}

// The index of the first CR or end-of-data mark in bytes, or count.
std::size_t LineTextLength(const unsigned char* bytes, std::size_t count) {
    const void* carriageReturn = std::memchr(bytes, kCarriageReturn, count);
    std::size_t limit =
        carriageReturn
            ? static_cast<std::size_t>(static_cast<const unsigned char*>(carriageReturn) - bytes)
            : count;
    const void* mark = std::memchr(bytes, kEndOfDataMark, limit);
    return mark ? static_cast<std::size_t>(static_cast<const unsigned char*>(mark) - bytes) : limit;
}

// Gathers a line in 256-byte pieces, so the line's memory is its bytes alone.
class LineGatherer {
  public:
    void Add(const unsigned char* bytes, std::size_t count) {
        while (count > 0) {
            std::size_t take = count < kStagingSize - staged_ ? count : kStagingSize - staged_;
            std::memcpy(staging_ + staged_, bytes, take);
            staged_ += take;
            bytes += take;
            count -= take;
            if (staged_ == kStagingSize) {
                Flush();
            }
        }
    }

    // The line; empty when its memory could not be had (7 is recorded then).
    DynamicString Take() {
        Flush();
        return lost_ ? DynamicString() : std::move(line_);
    }

  private:
    void Flush() {
        if (staged_ > 0 && !lost_ && !line_.Append(staging_, static_cast<std::int64_t>(staged_))) {
            lost_ = true;
            line_ = DynamicString();
        }
        staged_ = 0;
    }

    DynamicString line_;
    char staging_[kStagingSize];
    std::size_t staged_ = 0;
    bool lost_ = false;
};

bool IsDotName(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

bool Admits(std::int32_t attributeMask, const WIN32_FIND_DATAA& entry) {
    DWORD refused = static_cast<DWORD>(kAdmittedAttributes & ~attributeMask);
    return (entry.dwFileAttributes & refused) == 0 && !IsDotName(entry.cFileName);
}

void CloseOpenSearch() {
    if (openSearch != INVALID_HANDLE_VALUE) {
        HANDLE search = openSearch;
        ThroughSystemCallGate([&] { return FindClose(search); });
        openSearch = INVALID_HANDLE_VALUE;
    }
}

// A search call's failure is the end of the search, never an error.
bool NextSearchEntry(WIN32_FIND_DATAA& entry) {
    auto next = ThroughSystemCallGate([&] { return FindNextFileA(openSearch, &entry); });
    ReadAndClearErrorNumber();
    return !next.failed;
}

}  // namespace

std::int32_t NextFreeFileNumber() {
    SpinLockHolder files(fileLock);
    for (std::int32_t tried = 0; tried <= kHighestFileNumber; ++tried) {
        nextNumberCounter = nextNumberCounter >= kHighestFileNumber
                                ? std::int16_t{1}
                                : static_cast<std::int16_t>(nextNumberCounter + 1);
        if (FindRecord(nextNumberCounter) == nullptr) {
            return nextNumberCounter;
        }
    }
    // Every number is open: say so rather than search for ever.
    RecordErrorNumber(kTooManyFiles);
    return nextNumberCounter;
}

void SetFileNumberCounterForTesting(std::int16_t value) {
    SpinLockHolder files(fileLock);
    nextNumberCounter = value;
}

void OpenFileNumber(const DynamicString& path, std::int32_t fileNumber,
                    std::uint16_t openDescriptor, std::int32_t recordLength) {
    SpinLockHolder files(fileLock);
    // The whole path goes to the system, up to a zero byte; a path the
    // system finds too long fails there.
    std::string_view name = path.View();
    name = name.substr(0, name.find('\0'));
    if (name.empty() || name.find_first_of("*?") != std::string_view::npos) {
        RecordErrorNumber(kBadFileName);
        return;
    }
    std::int16_t number = FileNumberOf(fileNumber);
    if (number < 0) {
        RecordErrorNumber(kBadFileNumber);
        return;
    }
    if (recordLength < 1) {
        RecordErrorNumber(kBadArgument);
        return;
    }
    if (FindRecord(number) != nullptr) {
        RecordErrorNumber(kAlreadyOpen);
        return;
    }
    std::unique_ptr<OpenFileRecord> record(new (std::nothrow) OpenFileRecord);
    if (record == nullptr) {
        RecordErrorNumber(kOutOfMemory);
        return;
    }
    record->buffer =
        static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(recordLength)));
    record->name = DynamicString(name);
    if (record->buffer == nullptr || record->name.IsEmpty()) {
        RecordErrorNumber(kOutOfMemory);
        return;
    }
    record->number = number;
    record->mode = static_cast<std::uint8_t>(openDescriptor >> 8);
    record->sharing = static_cast<std::uint8_t>(openDescriptor & 0xFF);
    record->length = static_cast<std::uint32_t>(recordLength);
    if (int error = OpenSystemFile(*record); error != 0) {
        RecordErrorNumber(error);
        return;
    }
    InsertRecord(record.release());
}

void OpenForInput(const DynamicString& path, std::int32_t fileNumber) {
    OpenFileNumber(path, fileNumber, kInputOpenDescriptor, kInputRecordLength);
}

std::int32_t AtEndOfFile(std::int32_t fileNumber) {
    OpenFileRecord* record = FindRecord(FileNumberOf(fileNumber));
    if (record == nullptr) {
        RecordErrorNumber(kBadFileNumber);
        return 0;
    }
    if ((record->mode & kInputMode) == 0) {
        RecordErrorNumber(kWrongFileMode);
        return -1;  // no text to give
    }
    if (PeekNextByte(*record) != Peek::kByte) {
        return -1;
    }
    return record->buffer[record->position] == kEndOfDataMark ? -1 : 0;
}

DynamicString ReadLine(std::int32_t fileNumber) {
    OpenFileRecord* record = FindRecord(FileNumberOf(fileNumber));
    if (record == nullptr) {
        RecordErrorNumber(kBadFileNumber);
        return DynamicString();
    }
    if ((record->mode & kInputMode) == 0) {
        RecordErrorNumber(kWrongFileMode);
        return DynamicString();
    }
    const bool oneByteAtATime = FreshBytesOnly(*record);
    LineGatherer line;
    std::uint64_t consumed = 0;
    for (;;) {
        Peek peek = PeekNextByte(*record);
        if (peek == Peek::kFailed) {
            return DynamicString();  // the number is recorded; the partial line is dropped
        }
        if (peek == Peek::kEnd) {
            break;
        }
        // Take every byte up to a CR or the mark straight from the block.
        const unsigned char* bytes = record->buffer + record->position;
        std::size_t available = oneByteAtATime ? 1 : record->count - record->position;
        std::size_t text = LineTextLength(bytes, available);
        line.Add(bytes, text);
        record->position += static_cast<std::uint32_t>(text);
        consumed += text;
        if (text == available) {
            continue;
        }
        if (bytes[text] == kEndOfDataMark) {
            break;
        }
        ++record->position;  // the CR
        if (!SkipLineFeedAfterCarriageReturn(*record)) {
            return DynamicString();
        }
        return line.Take();
    }
    if (consumed == 0) {
        RecordErrorNumber(kPastEndOfFile);
        return DynamicString();
    }
    return line.Take();
}

void CloseFile(std::int32_t fileNumber) {
    std::unique_ptr<OpenFileRecord> record(RemoveRecord(FileNumberOf(fileNumber)));
    if (record == nullptr || record->callerOwnedHandle) {
        return;
    }
    HANDLE handle = record->handle;
    auto closed = ThroughSystemCallGate([&] { return CloseHandle(handle); });
    if (closed.failed) {
        RecordErrorNumber(closed.errorNumber);
    }
}

DynamicString FirstDirectoryMatch(const DynamicString& pattern, std::int32_t attributeMask) {
    SpinLockHolder files(fileLock);
    WIN32_FIND_DATAA entry{};
    bool found;
    if (pattern.IsEmpty()) {
        if (openSearch == INVALID_HANDLE_VALUE) {
            return DynamicString();
        }
        found = NextSearchEntry(entry);
    } else {
        CloseOpenSearch();
        // The whole pattern goes to the system; a folder path gets "*.*".
        std::string_view text = pattern.View();
        text = text.substr(0, text.find('\0'));
        DynamicString systemPattern(text);
        if (!text.empty() && text.back() == '/') {
            systemPattern.Append("*.*", 3);
        }
        const char* patternText = systemPattern.IsEmpty() ? "" : systemPattern.Data();
        auto first = ThroughSystemCallGate([&] { return FindFirstFileA(patternText, &entry); });
        ReadAndClearErrorNumber();
        if (first.result == INVALID_HANDLE_VALUE) {
            return DynamicString();
        }
        openSearch = first.result;
        found = true;
    }
    while (found) {
        if (Admits(attributeMask, entry)) {
            return DynamicString(entry.cFileName,
                                 static_cast<std::int64_t>(strnlen(entry.cFileName, MAX_PATH)));
        }
        found = NextSearchEntry(entry);
    }
    CloseOpenSearch();
    return DynamicString();
}

DynamicString CurrentDirectory(const DynamicString& /*drive*/) {
    // There are no drives here: every drive has the one current directory.
    char fixed[kDirectoryBufferSize] = {};
    std::unique_ptr<char[]> larger;
    char* buffer = fixed;
    DWORD size = kDirectoryBufferSize;
    for (;;) {
        auto answer = ThroughSystemCallGate([&] { return GetCurrentDirectoryA(size, buffer); });
        if (answer.failed || answer.result == 0) {
            RecordErrorNumber(answer.errorNumber);
            return DynamicString();
        }
        if (answer.result < size) {
            return DynamicString(buffer, static_cast<std::int64_t>(strnlen(buffer, size)));
        }
        // Longer than the buffer: ask again with the size it needs, rather
        // than hand back a cut or empty path.
        size = answer.result;
        larger.reset(new (std::nothrow) char[size]());
        if (larger == nullptr) {
            RecordErrorNumber(kOutOfMemory);
            return DynamicString();
        }
        buffer = larger.get();
    }
}
