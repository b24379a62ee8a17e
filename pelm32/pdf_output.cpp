#include "pelm32/pdf_output.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QIODevice>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "pelm32/document.h"
#include "pelm32/fonts.h"
#include "pelm32/page_painter.h"

namespace pelm32 {

namespace {

constexpr int kMaxAttempts = 100000;
constexpr int kMaxTitleLength = 200;

// The file being written: unnamed where the file system allows it, so a
// crash leaves nothing; else a hidden temporary name removed on failure.
struct PartFile {
    int fd = -1;
    QByteArray tempPath;  // empty for an unnamed file

    ~PartFile() {
        if (fd >= 0) {
            close(fd);
        }
        if (!tempPath.isEmpty()) {
            unlink(tempPath.constData());
        }
    }
};

bool OpenPartFile(const QByteArray& folder, PartFile& part, int& error) {
    part.fd = open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
    if (part.fd >= 0) {
        return true;
    }
    QByteArray pattern = folder + "/.pelm32-XXXXXX.part";
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
bool LinkFinalName(const PartFile& part, const QByteArray& path, int& error) {
    int result;
    if (part.tempPath.isEmpty()) {
        const QByteArray procPath = "/proc/self/fd/" + QByteArray::number(part.fd);
        result =
            linkat(AT_FDCWD, procPath.constData(), AT_FDCWD, path.constData(), AT_SYMLINK_FOLLOW);
    } else {
        result = link(part.tempPath.constData(), path.constData());
    }
    error = result == 0 ? 0 : errno;
    return result == 0;
}

// Qt's PDF writer builds and drops a few large buffers per page; with the
// allocator's default thresholds each one is mapped, faulted in and returned
// to the system again, which doubled the time of a long document. Freed
// memory is kept in the heap while we render, and the defaults come back after.
class AllocatorTuning {
  public:
    AllocatorTuning() {
        mallopt(M_MMAP_THRESHOLD, kKeep);
        mallopt(M_TRIM_THRESHOLD, kKeep);
    }
    ~AllocatorTuning() {
        mallopt(M_MMAP_THRESHOLD, kDefault);
        mallopt(M_TRIM_THRESHOLD, kDefault);
        malloc_trim(0);
    }
    AllocatorTuning(const AllocatorTuning&) = delete;
    AllocatorTuning& operator=(const AllocatorTuning&) = delete;

  private:
    static constexpr int kKeep = 64 << 20;
    static constexpr int kDefault = 128 << 10;
};

// Writes straight to the file descriptor through a buffer of its own and
// keeps the system's reason for the first failed write.
class DescriptorDevice : public QIODevice {
  public:
    explicit DescriptorDevice(int fd) : fd_(fd) { buffer_.reserve(kBuffer); }
    ~DescriptorDevice() override { Flush(); }

    int Error() const { return error_; }
    bool Flush() {
        const char* data = buffer_.data();
        size_t size = buffer_.size();
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
        buffer_.clear();
        return error_ == 0;
    }

  protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        if (error_ != 0) {
            return -1;
        }
        if (buffer_.size() + static_cast<size_t>(size) > kBuffer && !Flush()) {
            return -1;
        }
        buffer_.insert(buffer_.end(), data, data + size);
        return size;
    }

  private:
    static constexpr size_t kBuffer = 1 << 18;
    int fd_;
    int error_ = 0;
    std::vector<char> buffer_;
};

bool Render(const Document& document, int fd, QString& why) {
    const AllocatorTuning tuning;
    DescriptorDevice file(fd);
    file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    bool painted = false;
    {
        QPdfWriter writer(&file);
        writer.setResolution(static_cast<int>(kUnitsPerInch));
        writer.setPageLayout(
            QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        writer.setTitle(document.Title());
        writer.setCreator(QStringLiteral("pelm32"));
        QPainter painter;
        if (!painter.begin(&writer)) {
            why = QStringLiteral("the PDF writer could not start");
            return false;
        }
        painted = PaintPages(painter, writer, document, 0, document.PageTotal() - 1);
        painter.end();
    }
    if (!file.Flush()) {
        why = QString::fromLocal8Bit(std::strerror(file.Error()));
        return false;
    }
    // On the disk before it gets its name: a crash must not leave a complete
    // looking name over an incomplete file.
    if (fsync(fd) != 0 && errno != EINVAL && errno != EROFS) {
        why = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (!painted) {
        why = QStringLiteral("the document's spool could not be read back");
        return false;
    }
    return true;
}

}  // namespace

QString OutputFolder() {
    const char* folder = std::getenv("PELM32_OUTPUT_DIR");
    return folder != nullptr && *folder != '\0' ? QFile::decodeName(folder) : QDir::currentPath();
}

QString OutputFileName(const QString& title, int attempt) {
    QString base;
    for (const QChar c : title) {
        base.append(c == u'/' || c.unicode() < 0x20 || c.unicode() == 0x7F ? QChar(u'_') : c);
    }
    base = base.trimmed().left(kMaxTitleLength);
    if (base.isEmpty() || base == QLatin1String(".") || base == QLatin1String("..")) {
        base = QStringLiteral("Document");
    }
    if (attempt > 1) {
        base += QStringLiteral(" (%1)").arg(attempt);
    }
    return base + QStringLiteral(".pdf");
}

QString WritePdf(const Document& document) {
    const QByteArray folder = QFile::encodeName(OutputFolder());
    PartFile part;
    int error = 0;
    if (!OpenPartFile(folder, part, error)) {
        std::fprintf(stderr, "pelm32: no PDF written: cannot create a file in \"%s\": %s\n",
                     folder.constData(), std::strerror(error));
        return {};
    }
    QString why;
    if (!Render(document, part.fd, why)) {
        std::fprintf(stderr, "pelm32: no PDF written for \"%s\": %s\n",
                     qPrintable(document.Title()), qPrintable(why));
        return {};
    }
    for (int attempt = 1; attempt <= kMaxAttempts; ++attempt) {
        const QByteArray path =
            folder + '/' + QFile::encodeName(OutputFileName(document.Title(), attempt));
        if (LinkFinalName(part, path, error)) {
            return QFile::decodeName(path);
        }
        if (error != EEXIST) {
            std::fprintf(stderr, "pelm32: no PDF written: cannot name it \"%s\": %s\n",
                         path.constData(), std::strerror(error));
            return {};
        }
    }
    std::fprintf(stderr, "pelm32: no PDF written: every name for \"%s\" is taken in \"%s\"\n",
                 qPrintable(document.Title()), folder.constData());
    return {};
}

}  // namespace pelm32
