#include "pelm32/core/pdf_output.h"

#include <exception>
#include <new>
#include <vector>

#include "pelm32/core/document.h"
#include "pelm32/core/document_pdf.h"
#include "pelm32/core/failures.h"
#include "pelm32/core/native_file.h"
#include "pelm32/core/progress.h"
#include "pelm32/core/settings.h"
#include "pelm32/pdf/byte_sink.h"

namespace pelm32 {

namespace {

constexpr int kMaxAttempts = 100000;
// Pages written while the document is drawn go in batches of about this
// much spool: each batch costs a write of the spool and a read back.
constexpr uint64_t kDonePagesBytes = 1 << 19;

// Writes to the part file through a buffer of its own.
class PartFileSink : public pdf::ByteSink {
  public:
    explicit PartFileSink(native::PartFile& file) : file_(file) { buffer_.reserve(kBuffer); }

    bool Write(const void* data, size_t size) override {
        if (!file_.Good()) {
            return false;
        }
        if (buffer_.size() + size > kBuffer && !Flush()) {
            return false;
        }
        if (size >= kBuffer) {
            return file_.Write(data, size);
        }
        buffer_.insert(buffer_.end(), static_cast<const char*>(data),
                       static_cast<const char*>(data) + size);
        return true;
    }
    bool Flush() {
        const bool written = file_.Write(buffer_.data(), buffer_.size());
        buffer_.clear();
        return written;
    }

  private:
    static constexpr size_t kBuffer = 1 << 18;
    native::PartFile& file_;
    std::vector<char> buffer_;
};

// How a failure that escapes the writer reads.
std::string FailureText(const std::exception& error) {
    return dynamic_cast<const std::bad_alloc*>(&error) != nullptr ? "not enough memory"
                                                                  : error.what();
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

// Whether a C1 control character (U+0080 to U+009F, C2 80 to C2 9F in
// UTF-8) starts at i: a control character like those below U+0020.
bool C1Control(const std::string& text, size_t i) {
    const auto byte = [&text](size_t at) { return static_cast<unsigned char>(text[at]); };
    return byte(i) == 0xC2 && i + 1 < text.size() && byte(i + 1) >= 0x80 && byte(i + 1) <= 0x9F;
}

// Without leading dots (no hidden file) and surrounding spaces.
std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(". ");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string OutputFolder(const Settings& settings) {
    return settings.outputFolder.empty() ? native::CurrentFolder() : settings.outputFolder;
}

std::string OutputFileName(const std::string& title, int attempt, size_t nameLimit) {
    std::string base;
    for (size_t i = 0; i < title.size(); ++i) {
        if (C1Control(title, i)) {
            base += '_';
            ++i;
        } else {
            base += native::NameByteAllowed(title[i]) ? title[i] : '_';
        }
    }
    // Room for the longest suffix any attempt takes, so every attempt's
    // name starts the same.
    const size_t suffix = (" (" + std::to_string(kMaxAttempts) + ").pdf").size();
    base = Trimmed(FirstBytes(Trimmed(base), nameLimit > suffix ? nameLimit - suffix : 0));
    if (base.empty()) {
        base = "Document";
    }
    if (native::NameReserved(base)) {
        base.insert(0, 1, '_');  // "NUL.pdf" would be no file at all
    }
    if (attempt > 1) {
        base += " (" + std::to_string(attempt) + ")";
    }
    return base + ".pdf";
}

// The file being written, and the writer filling it.
struct PdfOutput::Writing {
    explicit Writing(const Document& document, const std::string& folder)
        : folder(folder), part(folder), sink(part) {
        pdf = std::make_unique<DocumentPdf>(document, sink);
    }
    std::string folder;
    native::PartFile part;
    PartFileSink sink;
    // Gone before the sink is flushed on a failure: its thread may still
    // be writing to it.
    std::unique_ptr<DocumentPdf> pdf;
};

PdfOutput::PdfOutput(Document& document) : document_(document) {}

PdfOutput::~PdfOutput() = default;

bool PdfOutput::Start(int& error) {
    if (!writing_) {
        auto writing =
            std::make_unique<Writing>(document_, OutputFolder(document_.DocumentSettings()));
        if (!writing->part.Good()) {
            error = writing->part.Error();
            return false;
        }
        writing_ = std::move(writing);
    }
    return true;
}

void PdfOutput::WriteDonePages() {
    // A page is written once the one after it is complete: the last page
    // begun is still drawn, and the one before it is compared with it.
    const int done = document_.PageTotal() - 2;
    const int next = writing_ ? writing_->pdf->PagesWritten() : 0;
    if (failed_ || done <= next ||
        document_.PageBegin(done) - document_.PageBegin(next) < kDonePagesBytes) {
        return;
    }
    std::string why;
    int error = 0;
    // Anything that fails here fails again at the end, where it is told.
    failed_ = !document_.FlushSpool() || !Start(error) || !writing_->pdf->WritePages(done, why);
    if (failed_) {
        writing_.reset();
    }
}

std::string PdfOutput::Finish(Progress* progress) {
    int error = 0;
    if (!Start(error)) {
        TellFailure("no PDF written: cannot create a file in \"" +
                    OutputFolder(document_.DocumentSettings()) + "\": " + native::ErrorText(error));
        return {};
    }
    Writing& writing = *writing_;
    PageWritten pageWritten;
    if (progress != nullptr) {
        pageWritten = [progress](int page, int total) { return progress->Writing(page, total); };
    }
    std::string why;
    bool written = false;
    try {
        written = writing.pdf->Finish(why, pageWritten);
    } catch (const std::exception& error) {
        why = FailureText(error);
    }
    writing.pdf.reset();
    if (!writing.sink.Flush()) {
        why = native::ErrorText(writing.part.Error());
        written = false;
    } else if (written && !writing.part.Sync()) {
        // On the disk before it gets its name: a crash must not leave a
        // complete looking name over an incomplete file.
        why = native::ErrorText(writing.part.Error());
        written = false;
    }
    if (!written) {
        if (!why.empty()) {
            TellFailure("no PDF written for \"" + document_.Title() + "\" in \"" + writing.folder +
                        "\": " + why);
        }
        return {};
    }
    const size_t nameLimit = native::NameLimit(writing.folder);
    for (int attempt = 1; attempt <= kMaxAttempts; ++attempt) {
        const std::string path = writing.folder + native::FolderSeparator() +
                                 OutputFileName(document_.Title(), attempt, nameLimit);
        switch (writing.part.GiveName(path)) {
            case native::PartFile::Naming::Named:
                return path;
            case native::PartFile::Naming::Taken:
                continue;
            case native::PartFile::Naming::Failed:
                TellFailure("no PDF written: cannot name it \"" + path +
                            "\": " + native::ErrorText(writing.part.Error()));
                return {};
        }
    }
    TellFailure("no PDF written: every name for \"" + document_.Title() + "\" is taken in \"" +
                writing.folder + "\"");
    return {};
}

std::string WritePdf(Document& document, Progress* progress) {
    return PdfOutput(document).Finish(progress);
}

}  // namespace pelm32
