// Files, the current directory and the error mode over POSIX.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "platform/posix/handle_table.h"
#include "platform/posix/posix_errors.h"
#include "platform/win32_file.h"

namespace {

// Small reads of a disk file come from a block read ahead, as the home
// platform serves them from its file cache: one system call per block rather
// than per record. Larger reads go straight to the file.
constexpr DWORD kReadAheadBytes = 64 * 1024;
constexpr DWORD kLargestReadFromBlock = kReadAheadBytes / 4;

// Bytes [start, start + count) of a file as one read found them. A read
// served from them sees exactly what a read made when the block was read
// would have seen; a read reaching past them goes to the file, so a growing
// file is seen growing. A seek that moves the pointer and the close drop
// them; nothing writes through a handle here (a write would have to drop
// them too). The first read after an open or a drop reads only what it asks
// for; each read that goes on from the block doubles the next one, so a
// reader that stops or seeks pays for no bytes it does not take.
struct ReadAhead {
    std::unique_ptr<char[]> bytes;  // kReadAheadBytes once first filled
    std::int64_t start = 0;
    DWORD count = 0;
    DWORD size = 0;  // of the last fill; 0 once dropped

    void Drop() {
        count = 0;
        size = 0;
    }
};

struct OpenFile {
    int fd = -1;
    DWORD type = FILE_TYPE_UNKNOWN;
    // The file pointer is ours: reads of a disk file go to it with pread, so
    // setting it costs no system call.
    std::int64_t offset = 0;
    // Only a disk file that no one else may write (its share mode leaves out
    // FILE_SHARE_WRITE) is read ahead.
    bool readsAhead = false;
    ReadAhead block;
};

HandleTable<OpenFile, 1>& Files() {
    static HandleTable<OpenFile, 1> table;
    return table;
}

std::atomic<UINT> errorMode{0};

DWORD TypeOf(mode_t mode) {
    if (S_ISREG(mode)) {
        return FILE_TYPE_DISK;
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return FILE_TYPE_CHAR;
    }
    return FILE_TYPE_PIPE;
}

int OpenFlags(DWORD desiredAccess) {
    bool read = (desiredAccess & GENERIC_READ) != 0;
    bool write = (desiredAccess & GENERIC_WRITE) != 0;
    int flags = read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    // Non-blocking, so that opening a FIFO without a writer never waits;
    // reads wait for data themselves.
    return flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
}

HANDLE Fail(DWORD error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

// Either the file is ours alone (share mode 0) or it is shared with others
// that share it too; an exclusive holder elsewhere refuses both.
DWORD LockFile(int fd, DWORD shareMode) {
    int operation = (shareMode == 0 ? LOCK_EX : LOCK_SH) | LOCK_NB;
    if (flock(fd, operation) == 0) {
        return ERROR_SUCCESS;
    }
    return WindowsErrorFromErrno(errno);
}

// Reads wanted bytes at offset, fewer only at the end of the file; got
// says how many came, also when a read failed.
DWORD ReadAt(int fd, char* buffer, DWORD wanted, std::int64_t offset, DWORD& got) {
    while (got < wanted) {
        ssize_t n = pread(fd, buffer + got, wanted - got, offset + got);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno == EIO ? ERROR_READ_FAULT : WindowsErrorFromErrno(errno);
        }
        if (n == 0) {
            break;
        }
        got += static_cast<DWORD>(n);
    }
    return ERROR_SUCCESS;
}

// A failed read leaves the pointer where it was.
DWORD ReadFromFile(OpenFile& file, char* buffer, DWORD wanted, DWORD& got) {
    DWORD error = ReadAt(file.fd, buffer, wanted, file.offset, got);
    if (error == ERROR_SUCCESS) {
        file.offset += got;
    }
    return error;
}

bool BlockHolds(const OpenFile& file, DWORD wanted) {
    const ReadAhead& block = file.block;
    return file.offset >= block.start && file.offset - block.start + wanted <= block.count;
}

DWORD NextBlockSize(const OpenFile& file, DWORD wanted) {
    const ReadAhead& block = file.block;
    bool goesOn =
        block.size > 0 && file.offset >= block.start && file.offset <= block.start + block.count;
    return goesOn ? std::clamp(2 * block.size, wanted, kReadAheadBytes) : wanted;
}

// Reads the block at the pointer. False when it holds fewer than wanted
// bytes because a read failed: that failure is the plain read's to tell.
bool FillBlock(OpenFile& file, DWORD wanted) {
    ReadAhead& block = file.block;
    if (block.bytes == nullptr) {
        block.bytes.reset(new (std::nothrow) char[kReadAheadBytes]);
        if (block.bytes == nullptr) {
            return false;
        }
    }
    block.size = NextBlockSize(file, wanted);
    block.start = file.offset;
    block.count = 0;
    DWORD error = ReadAt(file.fd, block.bytes.get(), block.size, block.start, block.count);
    if (error != ERROR_SUCCESS && block.count < wanted) {
        block.Drop();
        return false;
    }
    return true;
}

// A block just filled holds fewer than wanted bytes only where the file ends.
DWORD ReadDisk(OpenFile& file, char* buffer, DWORD wanted, DWORD& got) {
    bool small = file.readsAhead && wanted > 0 && wanted <= kLargestReadFromBlock;
    if (!small || (!BlockHolds(file, wanted) && !FillBlock(file, wanted))) {
        file.block.Drop();  // the file's bytes now are newer than the block's
        return ReadFromFile(file, buffer, wanted, got);
    }
    auto from = static_cast<DWORD>(file.offset - file.block.start);
    got = std::min(wanted, file.block.count - from);
    std::memcpy(buffer, file.block.bytes.get() + from, got);
    file.offset += got;
    return ERROR_SUCCESS;
}

// Waits until a pipe or device has something to read, or a pipe's writers
// have gone. A FIFO opened before any writer came waits for one.
DWORD WaitUntilReadable(int fd) {
    pollfd wanted{fd, POLLIN, 0};
    while (poll(&wanted, 1, -1) < 0) {
        if (errno != EINTR) {
            return WindowsErrorFromErrno(errno);
        }
    }
    return ERROR_SUCCESS;
}

// A pipe or device gives what it has, waiting until it has something, as
// Windows does. A pipe whose writers have closed fails as a broken pipe, as
// on Windows; a device at its end gives 0 bytes.
DWORD ReadStream(OpenFile& file, char* buffer, DWORD wanted, DWORD& got) {
    if (wanted == 0) {
        return ERROR_SUCCESS;
    }
    for (;;) {
        if (DWORD error = WaitUntilReadable(file.fd); error != ERROR_SUCCESS) {
            return error;
        }
        ssize_t n = read(file.fd, buffer, wanted);
        if (n > 0) {
            got = static_cast<DWORD>(n);
            return ERROR_SUCCESS;
        }
        if (n == 0) {
            return file.type == FILE_TYPE_PIPE ? ERROR_BROKEN_PIPE : ERROR_SUCCESS;
        }
        // Interrupted, or another reader took what the wait saw: wait again.
        if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
            return errno == EIO ? ERROR_READ_FAULT : WindowsErrorFromErrno(errno);
        }
    }
}

}  // namespace

HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                          LPSECURITY_ATTRIBUTES /*securityAttributes*/, DWORD creationDisposition,
                          DWORD /*flagsAndAttributes*/, HANDLE /*templateFile*/) {
    if (fileName == nullptr || creationDisposition != OPEN_EXISTING) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (fileName[0] == 0) {
        return Fail(ERROR_PATH_NOT_FOUND);
    }
    int fd;
    do {
        fd = open(fileName, OpenFlags(desiredAccess));
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return Fail(WindowsErrorFromErrno(errno, fileName));
    }
    struct stat info {};
    DWORD error = ERROR_SUCCESS;
    if (fstat(fd, &info) != 0) {
        error = WindowsErrorFromErrno(errno);
    } else if (S_ISDIR(info.st_mode)) {
        error = ERROR_ACCESS_DENIED;
    } else {
        error = LockFile(fd, shareMode);
    }
    if (error == ERROR_SUCCESS && S_ISREG(info.st_mode)) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    }
    auto* file = error == ERROR_SUCCESS ? new (std::nothrow) OpenFile : nullptr;
    if (error == ERROR_SUCCESS && file == nullptr) {
        error = ERROR_NOT_ENOUGH_MEMORY;
    }
    HANDLE handle = nullptr;
    if (file != nullptr) {
        file->fd = fd;
        file->type = TypeOf(info.st_mode);
        file->readsAhead = file->type == FILE_TYPE_DISK && (shareMode & FILE_SHARE_WRITE) == 0;
        handle = Files().Add(file);
        if (handle == nullptr) {
            delete file;
            error = ERROR_TOO_MANY_OPEN_FILES;
        }
    }
    if (error != ERROR_SUCCESS) {
        close(fd);
        return Fail(error);
    }
    return handle;
}

DWORD WINAPI GetFileType(HANDLE file) {
    OpenFile* open = Files().Find(file);
    if (open == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FILE_TYPE_UNKNOWN;
    }
    return open->type;
}

DWORD WINAPI SetFilePointer(HANDLE file, LONG distanceToMove, PLONG distanceToMoveHigh,
                            DWORD moveMethod) {
    OpenFile* open = Files().Find(file);
    if (open == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    std::int64_t distance = distanceToMove;
    if (distanceToMoveHigh != nullptr) {
        distance = static_cast<std::int64_t>(
            (static_cast<std::uint64_t>(static_cast<std::uint32_t>(*distanceToMoveHigh)) << 32) |
            static_cast<std::uint32_t>(distanceToMove));
    }
    std::int64_t origin = 0;
    if (moveMethod == FILE_CURRENT) {
        origin = open->offset;
    } else if (moveMethod == FILE_END) {
        struct stat info {};
        if (fstat(open->fd, &info) != 0) {
            SetLastErrorFromErrno(errno);
            return INVALID_SET_FILE_POINTER;
        }
        origin = info.st_size;
    } else if (moveMethod != FILE_BEGIN) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if ((distance > 0 && origin > INT64_MAX - distance) || origin + distance < 0) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    // The run time seeks to where it stands before every record: that moves
    // nothing, and the block stays.
    if (origin + distance != open->offset) {
        open->block.Drop();
        open->offset = origin + distance;
    }
    if (distanceToMoveHigh != nullptr) {
        *distanceToMoveHigh = static_cast<LONG>(static_cast<std::uint64_t>(open->offset) >> 32);
    }
    return static_cast<DWORD>(static_cast<std::uint64_t>(open->offset) & 0xFFFFFFFFu);
}

BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD numberOfBytesToRead,
                     LPDWORD numberOfBytesRead, LPOVERLAPPED overlapped) {
    if (numberOfBytesRead != nullptr) {
        *numberOfBytesRead = 0;
    }
    OpenFile* open = Files().Find(file);
    if (open == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (overlapped != nullptr || (buffer == nullptr && numberOfBytesToRead > 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD got = 0;
    char* bytes = static_cast<char*>(buffer);
    DWORD error = open->type == FILE_TYPE_DISK ? ReadDisk(*open, bytes, numberOfBytesToRead, got)
                                               : ReadStream(*open, bytes, numberOfBytesToRead, got);
    if (numberOfBytesRead != nullptr) {
        *numberOfBytesRead = got;
    }
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE object) {
    OpenFile* open = Files().Remove(object);
    if (open == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // Closing drops the lock. The descriptor is gone even when close reports
    // an error, so it is never closed twice.
    int result = close(open->fd);
    int error = errno;
    delete open;
    if (result != 0 && error != EINTR) {
        SetLastErrorFromErrno(error);
        return FALSE;
    }
    return TRUE;
}

DWORD WINAPI GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer) {
    char* current = getcwd(nullptr, 0);
    if (current == nullptr) {
        SetLastErrorFromErrno(errno);
        return 0;
    }
    std::size_t length = std::strlen(current);
    DWORD answer;
    if (buffer != nullptr && bufferLength > length) {
        std::memcpy(buffer, current, length + 1);
        answer = static_cast<DWORD>(length);
    } else {
        answer = static_cast<DWORD>(length + 1);  // the size needed, zero included
    }
    std::free(current);
    return answer;
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR pathName) {
    if (pathName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (pathName[0] == 0) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (chdir(pathName) != 0) {
        SetLastErrorFromErrno(errno, pathName);
        return FALSE;
    }
    return TRUE;
}

UINT WINAPI SetErrorMode(UINT mode) {
    return errorMode.exchange(mode);
}
