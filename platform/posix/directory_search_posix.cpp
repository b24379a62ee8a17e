// Directory search over POSIX: FindFirstFileA, FindNextFileA, FindClose.
#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/handle_table.h"
#include "platform/posix/posix_errors.h"
#include "platform/win32_file.h"

namespace {

struct DirectorySearch {
    std::string folder;  // with its final "/", or empty for the current directory
    std::vector<std::string> names;
    std::size_t next = 0;
};

HandleTable<DirectorySearch, 2>& Searches() {
    static HandleTable<DirectorySearch, 2> table;
    return table;
}

// "*" matches any run of bytes, "?" exactly one; every other byte itself.
bool MatchesExactly(std::string_view pattern, std::string_view name) {
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starAt = std::string_view::npos;
    std::size_t resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            resumeAt = n;
        } else if (starAt != std::string_view::npos) {
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

// As on Windows, a final ".*" may also match nothing, so "*.*" takes every name.
bool NameMatches(std::string_view pattern, std::string_view name) {
    if (MatchesExactly(pattern, name)) {
        return true;
    }
    return pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
           MatchesExactly(pattern.substr(0, pattern.size() - 2), name);
}

bool HasWildcard(std::string_view name) {
    return name.find_first_of("*?") != std::string_view::npos;
}

FILETIME FileTimeOf(const timespec& time) {
    // 100-nanosecond steps since 1601-01-01.
    constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600LL;
    std::int64_t ticks =
        (static_cast<std::int64_t>(time.tv_sec) + kSecondsFrom1601To1970) * 10000000LL +
        time.tv_nsec / 100;
    auto value = static_cast<std::uint64_t>(ticks < 0 ? 0 : ticks);
    return FILETIME{static_cast<DWORD>(value & 0xFFFFFFFFu), static_cast<DWORD>(value >> 32)};
}

DWORD AttributesOf(const struct stat& info, std::string_view name) {
    DWORD attributes = 0;
    if (S_ISDIR(info.st_mode)) {
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    } else if (!S_ISREG(info.st_mode)) {
        attributes |= FILE_ATTRIBUTE_SYSTEM;  // devices, FIFOs, sockets, dangling links
    }
    if (!name.empty() && name[0] == '.') {
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    }
    if ((info.st_mode & S_IWUSR) == 0) {
        attributes |= FILE_ATTRIBUTE_READONLY;
    }
    return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

// Fills data for one entry; false when it has gone meanwhile.
bool Describe(const DirectorySearch& search, const std::string& name, WIN32_FIND_DATAA& data) {
    std::string path;
    try {
        path = search.folder + name;
    } catch (const std::bad_alloc&) {
        return false;
    }
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 && lstat(path.c_str(), &info) != 0) {
        return false;
    }
    std::memset(&data, 0, sizeof data);
    data.dwFileAttributes = AttributesOf(info, name);
    data.ftCreationTime = FileTimeOf(info.st_ctim);
    data.ftLastAccessTime = FileTimeOf(info.st_atim);
    data.ftLastWriteTime = FileTimeOf(info.st_mtim);
    auto size = static_cast<std::uint64_t>(info.st_size);
    data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
    std::size_t length = std::min<std::size_t>(name.size(), MAX_PATH - 1);
    std::memcpy(data.cFileName, name.data(), length);
    return true;
}

// The next entry that still exists, described into data.
bool TakeNext(DirectorySearch& search, WIN32_FIND_DATAA& data) {
    while (search.next < search.names.size()) {
        if (Describe(search, search.names[search.next++], data)) {
            return true;
        }
    }
    return false;
}

// The names in folder that match pattern, in byte order; a Windows error
// code when the folder cannot be listed.
DWORD ListMatches(const std::string& folder, std::string_view pattern,
                  std::vector<std::string>& names) {
    DIR* directory = opendir(folder.empty() ? "." : folder.c_str());
    if (directory == nullptr) {
        // The folder itself is what is missing here.
        return errno == ENOENT ? ERROR_PATH_NOT_FOUND : WindowsErrorFromErrno(errno);
    }
    DWORD error = ERROR_SUCCESS;
    try {
        while (dirent* entry = readdir(directory)) {
            if (NameMatches(pattern, entry->d_name)) {
                names.emplace_back(entry->d_name);
            }
        }
        std::sort(names.begin(), names.end());
    } catch (const std::bad_alloc&) {
        error = ERROR_NOT_ENOUGH_MEMORY;
    }
    closedir(directory);
    return error;
}

DWORD StartSearch(const char* pattern, DirectorySearch& search) {
    std::string_view whole(pattern);
    if (whole.size() >= PATH_MAX) {
        return ERROR_FILENAME_EXCED_RANGE;
    }
    std::size_t slash = whole.rfind('/');
    std::string_view name = slash == std::string_view::npos ? whole : whole.substr(slash + 1);
    if (name.size() > NAME_MAX) {
        return ERROR_FILENAME_EXCED_RANGE;
    }
    if (name.empty()) {
        return ERROR_FILE_NOT_FOUND;
    }
    try {
        search.folder = std::string(whole.substr(0, whole.size() - name.size()));
        if (!HasWildcard(name)) {
            // A plain name is looked up, not searched for: this works in
            // folders that may be entered but not listed, too.
            struct stat info {};
            if (stat(pattern, &info) != 0 && lstat(pattern, &info) != 0) {
                return WindowsErrorFromErrno(errno, pattern);
            }
            search.names.emplace_back(name);
            return ERROR_SUCCESS;
        }
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    DWORD error = ListMatches(search.folder, name, search.names);
    if (error == ERROR_SUCCESS && search.names.empty()) {
        error = ERROR_FILE_NOT_FOUND;
    }
    return error;
}

}  // namespace

HANDLE WINAPI FindFirstFileA(LPCSTR fileName, LPWIN32_FIND_DATAA findFileData) {
    if (fileName == nullptr || findFileData == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    auto* search = new (std::nothrow) DirectorySearch;
    DWORD error = search == nullptr ? ERROR_NOT_ENOUGH_MEMORY : StartSearch(fileName, *search);
    if (error == ERROR_SUCCESS && !TakeNext(*search, *findFileData)) {
        error = ERROR_FILE_NOT_FOUND;
    }
    HANDLE handle = nullptr;
    if (error == ERROR_SUCCESS) {
        handle = Searches().Add(search);
        if (handle == nullptr) {
            error = ERROR_NOT_ENOUGH_MEMORY;
        }
    }
    if (error != ERROR_SUCCESS) {
        delete search;
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    return handle;
}

BOOL WINAPI FindNextFileA(HANDLE findFile, LPWIN32_FIND_DATAA findFileData) {
    DirectorySearch* search = Searches().Find(findFile);
    if (search == nullptr || findFileData == nullptr) {
        SetLastError(search == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!TakeNext(*search, *findFileData)) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI FindClose(HANDLE findFile) {
    DirectorySearch* search = Searches().Remove(findFile);
    if (search == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    delete search;
    return TRUE;
}
