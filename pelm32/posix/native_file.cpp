#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "pelm32/core/native_file.h"

namespace pelm32::native {

namespace {

int Descriptor(File file) {
    return static_cast<int>(file);
}

}  // namespace

std::string ErrorText(int error) {
    return std::strerror(error);
}

std::string TemporaryFolder() {
    const char* folder = std::getenv("TMPDIR");
    return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

// An unnamed file where the file system allows it; else a named one that is
// unlinked at once, which is as good once the open has succeeded.
File OpenTemporaryFile(const std::string& folder, int& error) {
    int fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) {
        return fd;
    }
    std::string pattern = folder + "/pelm32-spool-XXXXXX";
    fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return kNoFile;
    }
    unlink(pattern.c_str());
    return fd;
}

bool WriteAt(File file, const void* data, size_t size, uint64_t offset, int& error) {
    auto bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = pwrite(Descriptor(file), bytes, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = errno;
            return false;
        }
        bytes += n;
        size -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

bool ReadAt(File file, void* data, size_t size, uint64_t offset, int& error) {
    auto bytes = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = pread(Descriptor(file), bytes, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error = n < 0 ? errno : EIO;  // a file shorter than its reader knows it to be
            return false;
        }
        bytes += n;
        size -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

void Close(File file) {
    if (file != kNoFile) {
        close(Descriptor(file));
    }
}

std::string CurrentFolder() {
    std::vector<char> path(PATH_MAX);
    while (getcwd(path.data(), path.size()) == nullptr && errno == ERANGE) {
        path.resize(path.size() * 2);
    }
    return path.data();
}

char FolderSeparator() {
    return '/';
}

// 255 bytes where the folder cannot say.
size_t NameLimit(const std::string& folder) {
    const long limit = pathconf(folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<size_t>(limit) : 255;
}

bool NameByteAllowed(char byte) {
    const auto code = static_cast<unsigned char>(byte);
    return byte != '/' && code >= 0x20 && code != 0x7F;
}

bool NameReserved(const std::string&) {
    return false;
}

// Unnamed where the file system allows it, so a crash leaves nothing; else
// a hidden temporary name removed on failure.
PartFile::PartFile(const std::string& folder) {
    int fd = open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::string pattern = folder + "/.pelm32-XXXXXX.part";
        fd = mkostemps(pattern.data(), 5, O_CLOEXEC);
        if (fd < 0) {
            error_ = errno;
            return;
        }
        tempPath_ = pattern;
        fchmod(fd, 0644);
    }
    file_ = fd;
}

PartFile::~PartFile() {
    Close(file_);
    if (!tempPath_.empty()) {
        unlink(tempPath_.c_str());
    }
}

bool PartFile::Write(const void* data, size_t size) {
    auto bytes = static_cast<const char*>(data);
    while (size > 0 && Good()) {
        const ssize_t n = ::write(Descriptor(file_), bytes, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error_ = n < 0 ? errno : EIO;
            break;
        }
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return Good();
}

bool PartFile::Sync() {
    if (Good() && fsync(Descriptor(file_)) != 0 && errno != EINVAL && errno != EROFS) {
        error_ = errno;
    }
    return Good();
}

// link() never replaces an existing file.
PartFile::Naming PartFile::GiveName(const std::string& path) {
    int result;
    if (tempPath_.empty()) {
        const std::string procPath = "/proc/self/fd/" + std::to_string(file_);
        result = linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW);
    } else {
        result = link(tempPath_.c_str(), path.c_str());
    }
    if (result == 0) {
        return Naming::Named;
    }
    if (errno == EEXIST) {
        return Naming::Taken;
    }
    error_ = errno;
    return Naming::Failed;
}

}  // namespace pelm32::native
