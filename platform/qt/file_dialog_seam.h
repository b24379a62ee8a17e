// Lets a test answer the open-file dialog in place of a person: the next
// request is recorded and answered with the given path or a cancel.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/win32_window.h"

struct FileDialogRequest {
    HWND owner = nullptr;
    bool ownerDisabled = false;  // whether the owner was disabled while asked
    std::string title;           // the title shown (the default when none was given)
    bool titleGiven = false;
    std::string initialDirectory;
    std::string fileName;
    std::vector<std::pair<std::string, std::string>> filters;  // description, pattern
    unsigned filterIndex = 0;
    std::string defaultExtension;
    DWORD flags = 0;
};

struct FileDialogAnswer {
    bool chosen = false;
    std::string path;
};

// The next GetOpenFileNameA is answered with this instead of showing a dialog.
void SetNextFileDialogAnswer(const FileDialogAnswer& answer);

// The last request the open-file dialog received (seam-answered or shown).
FileDialogRequest LastFileDialogRequest();
