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

bool Render(const Document& document, native::PartFile& part, std::string& why,
            Progress* progress) {
    PartFileSink file(part);
    const bool written = WriteOut(document, file, why, progress);
    if (!file.Flush()) {
        why = native::ErrorText(part.Error());
        return false;
    }
    if (!written) {
        return false;
    }
    // On the disk before it gets its name: a crash must not leave a complete
    // looking name over an incomplete file.
    if (!part.Sync()) {
        why = native::ErrorText(part.Error());
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

std::string WritePdf(const Document& document, Progress* progress) {
    const std::string folder = OutputFolder(document.DocumentSettings());
    native::PartFile part(folder);
    if (!part.Good()) {
        TellFailure("no PDF written: cannot create a file in \"" + folder +
                    "\": " + native::ErrorText(part.Error()));
        return {};
    }
    std::string why;
    if (!Render(document, part, why, progress)) {
        if (!why.empty()) {
            TellFailure("no PDF written for \"" + document.Title() + "\" in \"" + folder +
                        "\": " + why);
        }
        return {};
    }
    const size_t nameLimit = native::NameLimit(folder);
    for (int attempt = 1; attempt <= kMaxAttempts; ++attempt) {
        const std::string path = folder + native::FolderSeparator() +
                                 OutputFileName(document.Title(), attempt, nameLimit);
        switch (part.GiveName(path)) {
            case native::PartFile::Naming::Named:
                return path;
            case native::PartFile::Naming::Taken:
                continue;
            case native::PartFile::Naming::Failed:
                TellFailure("no PDF written: cannot name it \"" + path +
                            "\": " + native::ErrorText(part.Error()));
                return {};
        }
    }
    TellFailure("no PDF written: every name for \"" + document.Title() + "\" is taken in \"" +
                folder + "\"");
    return {};
}

}  // namespace pelm32
