#include "app/pelmprint_system.h"

#include <algorithm>
#include <cstdlib>

#if defined(_WIN32)
#include "platform/win32.h"
#else
#include <glob.h>
#endif

#if defined(_WIN32)

std::vector<std::string> MatchingFiles(const std::string& pattern) {
    // The system gives the names alone: the folder part goes back in front.
    const size_t folderEnd = pattern.find_last_of("\\/:");
    const std::string folder =
        folderEnd == std::string::npos ? "" : pattern.substr(0, folderEnd + 1);
    std::vector<std::string> files;
    WIN32_FIND_DATAA found{};
    const HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return files;
    }
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") {
            files.push_back(folder + name);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(files.begin(), files.end());
    return files;
}

void SetVariable(const char* name, const std::string& value) {
    _putenv_s(name, value.c_str());
}

#else

std::vector<std::string> MatchingFiles(const std::string& pattern) {
    glob_t matches{};
    std::vector<std::string> files;
    if (glob(pattern.c_str(), 0, nullptr, &matches) == 0) {
        files.assign(matches.gl_pathv, matches.gl_pathv + matches.gl_pathc);
    }
    globfree(&matches);
    return files;
}

void SetVariable(const char* name, const std::string& value) {
    setenv(name, value.c_str(), 1);
}

#endif
