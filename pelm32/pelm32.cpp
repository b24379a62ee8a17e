// The nine engine functions: a table of open documents by handle, and the
// hand-over of a finished document to PDF and preview. No exception leaves
// them: the program that calls the engine knows nothing of C++.
#include "engine/pelm32.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <new>
#include <string>

#include "pelm32/core/desktop.h"
#include "pelm32/core/document.h"
#include "pelm32/core/failures.h"
#include "pelm32/core/native_file.h"
#include "pelm32/core/paper.h"
#include "pelm32/core/pdf_output.h"
#include "pelm32/core/progress.h"
#include "pelm32/core/settings.h"
#include "pelm32/core/text_decoding.h"
#include "pelm32/pdf/utf8.h"

// On Windows engine/pelm32.def names the exports.
#if defined(_WIN32)
#define PELM32_EXPORT
#else
#define PELM32_EXPORT __attribute__((visibility("default")))
#endif

namespace {

using pelm32::Document;

constexpr int32_t kMaxHandle = 32767;

struct OpenDocument {
    std::unique_ptr<Document> document;
    std::unique_ptr<pelm32::Progress> progress;
    std::unique_ptr<pelm32::PdfOutput> output;  // goes before its document
};

// Documents may nest (a second one can start while a preview is open), so
// lookups always go through the table and never hold an entry across calls.
std::map<int32_t, OpenDocument>& OpenDocuments() {
    static std::map<int32_t, OpenDocument> documents;
    return documents;
}

OpenDocument* FindOpen(int32_t handle) {
    auto& documents = OpenDocuments();
    const auto found = documents.find(handle);
    return found == documents.end() ? nullptr : &found->second;
}

Document* Find(int32_t handle) {
    OpenDocument* open = FindOpen(handle);
    return open == nullptr ? nullptr : open->document.get();
}

// A step of spooling. The progress window may show; a Cancel there abandons
// the document: nothing is written, and its handle is done with. Erased by
// handle: the step may have let other calls run.
void Spooled(int32_t handle, OpenDocument& open) {
    if (!open.progress->Spooling(open.document->PageTotal())) {
        OpenDocuments().erase(handle);
    }
}

// The next handle not in use, counting on from the last one given, so a
// handle comes back only after all others have been used.
int32_t NextHandle() {
    static int32_t last = 0;
    auto& documents = OpenDocuments();
    if (documents.size() >= static_cast<size_t>(kMaxHandle)) {
        return 0;
    }
    do {
        last = last >= kMaxHandle ? 1 : last + 1;
    } while (documents.count(last) != 0);
    return last;
}

// The title as UTF-8, decoded as the engine decodes every text.
std::string DecodeTitle(const char* title) {
    std::string out;
    if (title == nullptr) {
        return out;
    }
    pelm32::TextCursor cursor(title, std::strlen(title), false);
    char32_t c;
    while (cursor.Next(c)) {
        pelm32::pdf::AppendUtf8(out, c);
    }
    return out;
}

// What an exception says to the user.
std::string Reason(const std::exception_ptr& exception) {
    try {
        std::rethrow_exception(exception);
    } catch (const std::bad_alloc&) {
        return "not enough memory";
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
        return "an unexpected error";
    }
}

// Tells the user what failed (of the document, when there is one) and the
// exception's reason, if there is memory enough for it.
void TellException(const char* what, const Document* document,
                   const std::exception_ptr& exception) noexcept {
    try {
        std::string text = what;
        if (document != nullptr) {
            text += " \"" + document->Title() + "\"";
        }
        pelm32::TellFailure(text + ": " + Reason(exception));
    } catch (...) {
        std::fputs("pelm32: a document was abandoned: not enough memory\n", stderr);
    }
}

// After an exception in a call on a document: the document is abandoned
// (its spool goes, no PDF is written, later calls on its handle do nothing)
// and the user told once. Handle 0: no document was made.
void Abandon(int32_t handle, const std::exception_ptr& exception) noexcept {
    const auto found = OpenDocuments().find(handle);
    if (found == OpenDocuments().end()) {
        TellException("no document", nullptr, exception);
        return;
    }
    const OpenDocument open = std::move(found->second);
    OpenDocuments().erase(found);
    TellException("no PDF written for", open.document.get(), exception);
}

// Runs an engine call on a document; an exception abandons the document.
// A call that gives a value gives 0 then.
template <typename Call>
auto Guarded(int32_t handle, Call&& call) noexcept -> decltype(call()) {
    try {
        return call();
    } catch (...) {
        Abandon(handle, std::current_exception());
    }
    return decltype(call())();
}

int32_t StartDocument(const char* title) {
    const pelm32::Settings settings = pelm32::ReadSettings();
    auto document =
        std::make_unique<Document>(DecodeTitle(title), pelm32::ChoosePaper(settings), settings);
    if (!document->Good()) {
        pelm32::TellFailure("no document: cannot make its spool file in \"" +
                            pelm32::SpoolFile::Folder() +
                            "\": " + pelm32::native::ErrorText(document->Spool().Error()));
        return 0;
    }
    const int32_t handle = NextHandle();
    if (handle == 0) {
        std::fprintf(stderr, "pelm32: no document: %d are open already\n", kMaxHandle);
        return 0;
    }
    auto progress = std::make_unique<pelm32::Progress>(document->Title());
    auto output = std::make_unique<pelm32::PdfOutput>(*document);
    OpenDocuments()[handle] = {std::move(document), std::move(progress), std::move(output)};
    return handle;
}

// Writes the PDF, and puts it before the user; path is the PDF's once written.
void FinishDocument(const OpenDocument& open, std::string& path) {
    const std::unique_ptr<Document>& document = open.document;
    if (!document->Finish()) {
        pelm32::TellFailure("no PDF written for \"" + document->Title() +
                            "\": its spool file in \"" + pelm32::SpoolFile::Folder() +
                            "\" failed: " + pelm32::native::ErrorText(document->Spool().Error()));
        return;
    }
    path = open.output->Finish(open.progress.get());
    open.progress->Done();
    if (path.empty()) {
        return;
    }
    if (!document->DocumentSettings().quiet) {
        std::fprintf(stderr, "pelm32: wrote \"%s\", %d page%s\n", path.c_str(),
                     document->PageTotal(), document->PageTotal() == 1 ? "" : "s");
    }
    pelm32::OpenWrittenDocument(*document, path);
}

}  // namespace

extern "C" {

PELM32_EXPORT int32_t PELM32_CALL pmStartDoc(int32_t, const char* title, const char*, int32_t,
                                             int32_t, int32_t, int32_t, int32_t) {
    return Guarded(0, [&] { return StartDocument(title); });
}

PELM32_EXPORT int32_t PELM32_CALL pmAddGraphic(int32_t doc, const char* fileName) {
    return Guarded(doc, [&] {
        Document* document = Find(doc);
        return document == nullptr ? 0 : document->AddGraphic(fileName);
    });
}

PELM32_EXPORT void PELM32_CALL pmFont(int32_t doc, int32_t, float pointSize, int32_t,
                                      const char* faceName) {
    Guarded(doc, [&] {
        if (Document* document = Find(doc)) {
            document->SetFont(pointSize, faceName);
        }
    });
}

PELM32_EXPORT void PELM32_CALL pmText(int32_t doc, float x, float y, int32_t, const char* text) {
    Guarded(doc, [&] {
        if (OpenDocument* open = FindOpen(doc)) {
            open->document->Text(x, y, text);
            Spooled(doc, *open);
        }
    });
}

PELM32_EXPORT void PELM32_CALL pmPageNo(int32_t doc, float x, float y, int32_t, int32_t) {
    Guarded(doc, [&] {
        if (Document* document = Find(doc)) {
            document->PageNumber(x, y);
        }
    });
}

PELM32_EXPORT void PELM32_CALL pmPageCount(int32_t doc, float x, float y, int32_t, int32_t) {
    Guarded(doc, [&] {
        if (Document* document = Find(doc)) {
            document->PageCount(x, y);
        }
    });
}

PELM32_EXPORT void PELM32_CALL pmDrawGraphic(int32_t doc, int32_t graphic, float left, float top,
                                             float right, float bottom) {
    Guarded(doc, [&] {
        if (OpenDocument* open = FindOpen(doc)) {
            open->document->DrawGraphic(graphic, left, top, right, bottom);
            Spooled(doc, *open);
        }
    });
}

PELM32_EXPORT void PELM32_CALL pmNewPage(int32_t doc, int32_t, int32_t, int32_t) {
    Guarded(doc, [&] {
        if (OpenDocument* open = FindOpen(doc)) {
            open->document->NewPage();
            open->output->WriteDonePages();
            Spooled(doc, *open);
        }
    });
}

PELM32_EXPORT void PELM32_CALL pmFinishDoc(int32_t doc, int32_t) {
    auto& documents = OpenDocuments();
    const auto found = documents.find(doc);
    if (found == documents.end()) {
        return;
    }
    // Out of the table first: calls made while the preview runs cannot reach
    // it. Its handle is gone, so a failure now is told with its title.
    const OpenDocument open = std::move(found->second);
    documents.erase(found);
    std::string path;
    try {
        FinishDocument(open, path);
    } catch (...) {
        if (path.empty()) {
            TellException("no PDF written for", open.document.get(), std::current_exception());
        } else {
            std::fprintf(stderr, "pelm32: the preview of \"%s\" stopped\n", path.c_str());
        }
    }
}

}  // extern "C"
