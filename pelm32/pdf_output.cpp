#include "pelm32/pdf_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <vector>

#include "pelm32/document.h"
#include "pelm32/document_pdf.h"
#include "pelm32/failures.h"
#include "pelm32/pdf/byte_sink.h"
#include "pelm32/progress.h"

namespace pelm32 {

namespace {

constexpr int kMaxAttempts = 100000;

// The file being written: unnamed where the file system allows it, so a
// crash leaves nothing; else a hidden temporary name removed on failure.
struct PartFile {
    int fd = -1;
    std::string tempPath;  // empty for an unnamed file

    ~PartFile() {
        if (fd >= 0) {
            close(fd);
        }
        if (!tempPath.empty()) {
            unlink(tempPath.c_str());
        }
    }
};

bool OpenPartFile(const std::string& folder, PartFile& part, int& error) {
    part.fd = open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
    if (part.fd >= 0) {
        return true;
    }
    std::string pattern = folder + "/.pelm32-XXXXXX.part";
    part.fd = mkostemps(pattern.data(), 5, O_CLOEXEC);
    if (part.fd < 0) {
        error = errno;
        return false;
    }
    part.tempPath = pattern;
    fchmod(part.fd, 0644);
    return true;
}

// Gives the complete file its name; link() never replaces an existing file.
bool LinkFinalName(const PartFile& part, const std::string& path, int& error) {
    int result;
    if (part.tempPath.empty()) {
        const std::string procPath = "/proc/self/fd/" + std::to_string(part.fd);
        result = linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW);
    } else {
        result = link(part.tempPath.c_str(), path.c_str());
    }
    error = result == 0 ? 0 : errno;
    return result == 0;
}

// Writes to the file descriptor through a buffer of its own and keeps the
// system's reason for the first failed write.
class DescriptorSink : public pdf::ByteSink {
  public:
    explicit DescriptorSink(int fd) : fd_(fd) { buffer_.reserve(kBuffer); }

    bool Write(const void* data, size_t size) override {
        if (error_ != 0) {
            return false;
        }
        if (buffer_.size() + size > kBuffer && !Flush()) {
            return false;
        }
        if (size >= kBuffer) {
            return WriteOut(static_cast<const char*>(data), size);
        }
        buffer_.insert(buffer_.end(), static_cast<const char*>(data),
                       static_cast<const char*>(data) + size);
        return true;
    }
    bool Flush() {
        const bool written = WriteOut(buffer_.data(), buffer_.size());
        buffer_.clear();
        return written;
    }
    int Error() const { return error_; }

  private:
    bool WriteOut(const char* data, size_t size) {
        while (size > 0 && error_ == 0) {
            const ssize_t n = ::write(fd_, data, size);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                error_ = n < 0 ? errno : EIO;
                break;
            }
            data += n;
            size -= static_cast<size_t>(n);
        }
        return error_ == 0;
    }

    static constexpr size_t kBuffer = 1 << 18;
    int fd_;
    int error_ = 0;
    std::vector<char> buffer_;
};

// The document written out; what goes wrong is told in why, never thrown
// at the program that called the engine.
bool WriteOut(const Document& document, pdf::ByteSink& file, std::string& why, Progress* progress) {
    PageWritten pageWritten;
    if (progress != nullptr) {
        pageWritten = [progress](int page, int total) { return progress->Writing(page, total); };
    }
    try {
        return WriteDocumentPdf(document, file, why, pageWritten);
    } catch (const std::bad_alloc&) {
        why = "not enough memory";
    } catch (const std::exception& error) {
        why = error.what();
    }
    return false;
}

bool Render(const Document& document, int fd, std::string& why, Progress* progress) {
    DescriptorSink file(fd);
    const bool written = WriteOut(document, file, why, progress);
    if (!file.Flush() || file.Error() != 0) {
        why = std::strerror(file.Error());
        return false;
    }
    if (!written) {
        return false;
    }
    // On the disk before it gets its name: a crash must not leave a complete
    // looking name over an incomplete file.
    if (fsync(fd) != 0 && errno != EINVAL && errno != EROFS) {
        why = std::strerror(errno);
        return false;
    }
    return true;
}

bool IsUtf8Lead(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
}

// The text cut to at most bytes bytes, never inside a character.
std::string FirstBytes(const std::string& text, size_t bytes) {
    if (text.size() <= bytes) {
        return text;
    }
    while (bytes > 0 && !IsUtf8Lead(text[bytes])) {
        --bytes;
    }
    return text.substr(0, bytes);
}

// Without leading dots (no hidden file) and surrounding spaces.
std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(". ");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The longest name the output folder takes; 255 bytes where it cannot say.
size_t NameLimit(const std::string& folder) {
    const long limit = pathconf(folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<size_t>(limit) : 255;
}

}  // namespace

std::string OutputFolder() {
    const char* folder = std::getenv("PELM32_OUTPUT_DIR");
    if (folder != nullptr && *folder != '\0') {
        return folder;
    }
    std::vector<char> path(PATH_MAX);
    while (getcwd(path.data(), path.size()) == nullptr && errno == ERANGE) {
        path.resize(path.size() * 2);
    }
    return path.data();
}

std::string OutputFileName(const std::string& title, int attempt, size_t nameLimit) {
    std::string base;
    for (const char c : title) {
        const auto byte = static_cast<unsigned char>(c);
        base += c == '/' || byte < 0x20 || byte == 0x7F ? '_' : c;
    }
    // Room for the longest suffix any attempt takes, so every attempt's
    // name starts the same.
    const size_t suffix = (" (" + std::to_string(kMaxAttempts) + ").pdf").size();
    base = Trimmed(FirstBytes(Trimmed(base), nameLimit > suffix ? nameLimit - suffix : 0));
    if (base.empty()) {
        base = "Document";
    }
    if (attempt > 1) {
        base += " (" + std::to_string(attempt) + ")";
    }
    return base + ".pdf";
}

std::string WritePdf(const Document& document, Progress* progress) {
    const std::string folder = OutputFolder();
    PartFile part;
    int error = 0;
    if (!OpenPartFile(folder, part, error)) {
        TellFailure("no PDF written: cannot create a file in \"" + folder +
                    "\": " + std::strerror(error));
        return {};
    }
    std::string why;
    if (!Render(document, part.fd, why, progress)) {
        if (!why.empty()) {
            TellFailure("no PDF written for \"" + document.Title() + "\" in \"" + folder +
                        "\": " + why);
        }
        return {};
    }
    for (int attempt = 1; attempt <= kMaxAttempts; ++attempt) {
        const std::string path =
            folder + '/' + OutputFileName(document.Title(), attempt, NameLimit(folder));
        if (LinkFinalName(part, path, error)) {
            return path;
        }
        if (error != EEXIST) {
            TellFailure("no PDF written: cannot name it \"" + path + "\": " + std::strerror(error));
            return {};
        }
    }
    TellFailure("no PDF written: every name for \"" + document.Title() + "\" is taken in \"" +
                folder + "\"");
    return {};
}

}  // namespace pelm32
