#include "tests/fuzz/fuzz_support.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace fs = std::filesystem;

namespace {

fs::path privateFolder;

void RemovePrivateFolder() {
    std::error_code ignored;
    fs::remove_all(privateFolder, ignored);
}

std::string Quoted(const std::string& path) {
    std::string out = "'";
    for (const char c : path) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

std::string Run(const std::string& command, int& status) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    size_t n;
    while (pipe != nullptr && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        out.append(buffer, n);
    }
    status = pipe == nullptr ? -1 : pclose(pipe);
    return out;
}

}  // namespace

void FuzzFail(const std::string& why) {
    std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, why.c_str());
    std::abort();
}

fs::path MakePrivateFolder() {
    std::string pattern =
        (fs::temp_directory_path() / (std::string(program_invocation_short_name) + "-XXXXXX"))
            .string();
    if (mkdtemp(pattern.data()) == nullptr) {
        FuzzFail("cannot make a working folder");
    }
    privateFolder = pattern;
    std::atexit(RemovePrivateFolder);
    return privateFolder;
}

FuzzFolders EnterEngineFolders() {
    const fs::path folder = MakePrivateFolder();
    FuzzFolders folders{folder / "work", folder / "out"};
    fs::create_directories(folders.work);
    fs::create_directories(folders.output);
    setenv("PELM32_OUTPUT_DIR", folders.output.c_str(), 1);
    setenv("PELM32_PREVIEW", "0", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (chdir(folders.work.c_str()) != 0) {
        FuzzFail("cannot enter the working folder");
    }
    return folders;
}

void CopyExampleBitmaps(const fs::path& folder) {
    const char* examples = std::getenv("PELM32_EXAMPLES_DIR");
    for (const char* bitmap : {"Logo.bmp", "watermark.bmp"}) {
        fs::copy_file(fs::path(examples != nullptr ? examples : "examples") / bitmap,
                      folder / bitmap);
    }
}

std::set<std::string> FolderEntries(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

int CheckedPageCount(const fs::path& pdf) {
    // Under a name of ours, so that a title holding "WARNING" is no warning.
    const fs::path checked = privateFolder / "checked.pdf";
    fs::create_hard_link(pdf, checked);
    int status = 0;
    const std::string report =
        Run("qpdf --check --show-npages " + Quoted(checked.string()) + " 2>&1", status);
    fs::remove(checked);
    if (status != 0 || report.find("WARNING") != std::string::npos) {
        const fs::path kept = fs::temp_directory_path() /
                              (std::string(program_invocation_short_name) + "_failed.pdf");
        fs::copy_file(pdf, kept, fs::copy_options::overwrite_existing);
        FuzzFail("qpdf --check failed on " + kept.string() + ":\n" + report);
    }
    // The page count is the last line.
    const std::size_t lastLine = report.find_last_of('\n', report.find_last_not_of('\n'));
    return std::atoi(report.c_str() + (lastLine == std::string::npos ? 0 : lastLine + 1));
}

std::vector<std::string> ModelLines(std::string_view bytes) {
    bytes = bytes.substr(0, bytes.find('\x1A'));
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < bytes.size()) {
        const std::size_t end = std::min(bytes.find('\r', at), bytes.size());
        lines.emplace_back(bytes.substr(at, end - at));
        at = end + 1;
        if (at < bytes.size() && bytes[at] == '\n') {
            ++at;
        }
    }
    return lines;
}
