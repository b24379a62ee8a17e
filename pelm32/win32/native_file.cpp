#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cctype>
#include <cstdlib>
#include <string>

#include "pelm32/core/native_file.h"
#include "pelm32/win32/windows_text.h"

namespace pelm32::native {

namespace {

constexpr DWORD kLargestCall = 1u << 30;

HANDLE Handle(File file) {
    return reinterpret_cast<HANDLE>(file);
}

OVERLAPPED At(uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

int LastError() {
    return static_cast<int>(GetLastError());
}

// A name for a new file in folder that no other process of this engine picks.
std::string UniqueName(const std::string& folder, const char* stem, const char* ending) {
    static unsigned counter = 0;
    return folder + '\\' + stem + std::to_string(GetCurrentProcessId()) + '-' +
           std::to_string(GetTickCount64()) + '-' + std::to_string(++counter) + ending;
}

// A new file under an unused name like stem...ending; kNoFile when the
// folder refuses, with the reason in error.
File CreateUnique(const std::string& folder, const char* stem, const char* ending, DWORD access,
                  DWORD flags, std::string& path, int& error) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = UniqueName(folder, stem, ending);
        HANDLE file =
            CreateFileW(Wide(path).c_str(), access, 0, nullptr, CREATE_NEW, flags, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            return reinterpret_cast<File>(file);
        }
        error = LastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            break;
        }
    }
    return kNoFile;
}

}  // namespace

std::string ErrorText(int error) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string reason = length > 0 && text != nullptr ? std::string(text, length) : "";
    LocalFree(text);
    // The system's sentence without its full stop and line end.
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                               reason.back() == '.' || reason.back() == ' ')) {
        reason.pop_back();
    }
    return reason.empty() ? "error " + std::to_string(error) : reason;
}

std::string TemporaryFolder() {
    wchar_t folder[MAX_PATH + 2] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 2, folder);
    std::string text = length > 0 && length <= MAX_PATH + 1 ? Utf8(folder) : ".";
    if (text.size() > 1 && text.back() == '\\') {
        text.pop_back();
    }
    return text;
}

File OpenTemporaryFile(const std::string& folder, int& error) {
    std::string path;
    return CreateUnique(folder, "pelm32-spool-", ".tmp", GENERIC_READ | GENERIC_WRITE,
                        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, path, error);
}

bool WriteAt(File file, const void* data, size_t size, uint64_t offset, int& error) {
    auto bytes = static_cast<const char*>(data);
    while (size > 0) {
        OVERLAPPED at = At(offset);
        DWORD written = 0;
        const DWORD part = size > kLargestCall ? kLargestCall : static_cast<DWORD>(size);
        if (!WriteFile(Handle(file), bytes, part, &written, &at) || written == 0) {
            error = LastError();
            return false;
        }
        bytes += written;
        size -= written;
        offset += written;
    }
    return true;
}

bool ReadAt(File file, void* data, size_t size, uint64_t offset, int& error) {
    auto bytes = static_cast<char*>(data);
    while (size > 0) {
        OVERLAPPED at = At(offset);
        DWORD read = 0;
        const DWORD part = size > kLargestCall ? kLargestCall : static_cast<DWORD>(size);
        if (!ReadFile(Handle(file), bytes, part, &read, &at)) {
            error = static_cast<int>(GetLastError());
            return false;
        }
        if (read == 0) {
            error = ERROR_HANDLE_EOF;
            return false;
        }
        bytes += read;
        size -= read;
        offset += read;
    }
    return true;
}

void Close(File file) {
    if (file != kNoFile) {
        CloseHandle(Handle(file));
    }
}

std::string CurrentFolder() {
    const DWORD length = GetCurrentDirectoryW(0, nullptr);
    std::wstring folder(length, L'\0');
    folder.resize(GetCurrentDirectoryW(length, folder.data()));
    return Utf8(folder);
}

char FolderSeparator() {
    return '\\';
}

// 255 UTF-16 units, and the whole path within MAX_PATH, which the calls keep
// to without the long-path prefix; a name of so many UTF-8 bytes never has
// more UTF-16 units.
size_t NameLimit(const std::string& folder) {
    const size_t taken = Wide(folder).size() + 1;  // the folder and a separator
    const size_t room = MAX_PATH - 1 > taken ? MAX_PATH - 1 - taken : 0;
    return room < 255 ? room : 255;
}

bool NameByteAllowed(char byte) {
    const auto code = static_cast<unsigned char>(byte);
    for (const char reserved : {'\\', '/', ':', '*', '?', '"', '<', '>', '|'}) {
        if (byte == reserved) {
            return false;
        }
    }
    return code >= 0x20 && code != 0x7F;
}

bool NameReserved(const std::string& stem) {
    // The system looks at the name before its first dot, without trailing
    // spaces: "nul.tar" and "NUL " are the device too.
    std::string name = stem.substr(0, stem.find('.'));
    name = name.substr(0, name.find_last_not_of(' ') + 1);
    for (char& c : name) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
    for (const char* device : kDevices) {
        if (name == device) {
            return true;
        }
    }
    return name.size() == 4 && (name.rfind("COM", 0) == 0 || name.rfind("LPT", 0) == 0) &&
           name[3] >= '1' && name[3] <= '9';
}

// Windows has no file without a name: a hidden one until GiveName.
PartFile::PartFile(const std::string& folder) {
    file_ = CreateUnique(folder, "~pelm32-", ".part", GENERIC_WRITE,
                         FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY, tempPath_, error_);
    if (file_ == kNoFile) {
        tempPath_.clear();
    }
}

PartFile::~PartFile() {
    Close(file_);
    if (!tempPath_.empty()) {
        DeleteFileW(Wide(tempPath_).c_str());
    }
}

bool PartFile::Write(const void* data, size_t size) {
    auto bytes = static_cast<const char*>(data);
    while (size > 0 && Good()) {
        DWORD written = 0;
        const DWORD part = size > kLargestCall ? kLargestCall : static_cast<DWORD>(size);
        if (!WriteFile(Handle(file_), bytes, part, &written, nullptr) || written == 0) {
            error_ = LastError();
            break;
        }
        bytes += written;
        size -= written;
    }
    return Good();
}

// Closed once it is on the disk: a file is renamed only when no handle has it.
bool PartFile::Sync() {
    if (Good() && !FlushFileBuffers(Handle(file_))) {
        error_ = LastError();
    }
    if (Good()) {
        CloseHandle(Handle(file_));
        file_ = kNoFile;
        SetFileAttributesW(Wide(tempPath_).c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    return error_ == 0;
}

// MoveFileEx without MOVEFILE_REPLACE_EXISTING never replaces a file.
PartFile::Naming PartFile::GiveName(const std::string& path) {
    if (MoveFileExW(Wide(tempPath_).c_str(), Wide(path).c_str(), MOVEFILE_WRITE_THROUGH)) {
        tempPath_.clear();
        return Naming::Named;
    }
    const int error = LastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
        return Naming::Taken;
    }
    error_ = error;
    return Naming::Failed;
}

}  // namespace pelm32::native
