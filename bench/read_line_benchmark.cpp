// Reads a 100 MB CR LF text file with the run time's numbered-file services
// and with a plain std::getline loop, and prints both speeds.
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "runtime/error_numbers.h"
#include "runtime/text_file_input.h"

namespace {

constexpr std::int64_t kFileBytes = 100LL * 1024 * 1024;
constexpr int kLineBytes = 80;  // CR LF included

struct Totals {
    std::int64_t lines = 0;
    std::int64_t bytes = 0;
    double seconds = 0;
};

void WriteTestFile(const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    std::string line;
    for (std::int64_t written = 0, n = 0; written < kFileBytes; written += kLineBytes, ++n) {
        line = "Line " + std::to_string(n) + ": ";
        while (line.size() < kLineBytes - 2) {
            line.push_back(static_cast<char>('a' + (line.size() + n) % 26));
        }
        line += "\r\n";
        out << line;
    }
}

Totals ReadWithRuntime(const std::string& path) {
    ErrorSlot slot;
    Totals totals;
    auto start = std::chrono::steady_clock::now();
    std::int32_t number = NextFreeFileNumber();
    OpenForInput(DynamicString(path.c_str()), number);
    if (int error = ReadAndClearErrorNumber(); error != 0) {
        std::fprintf(stderr, "open failed: %d\n", error);
        return totals;
    }
    while (~AtEndOfFile(number) != 0) {
        DynamicString line = ReadLine(number);
        totals.bytes += line.Length();
        ++totals.lines;
    }
    CloseFile(number);
    totals.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return totals;
}

Totals ReadWithGetline(const std::string& path) {
    Totals totals;
    auto start = std::chrono::steady_clock::now();
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        totals.bytes += static_cast<std::int64_t>(line.size());
        ++totals.lines;
    }
    totals.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return totals;
}

double MegabytesPerSecond(const Totals& totals) {
    return static_cast<double>(kFileBytes) / (1024.0 * 1024.0) / totals.seconds;
}

}  // namespace

int main() {
    std::string folderPattern =
        (std::filesystem::temp_directory_path() / "read-line-benchmark-XXXXXX").string();
    if (mkdtemp(folderPattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    std::string path = folderPattern + "/report.txt";
    WriteTestFile(path);

    Totals runtime = ReadWithRuntime(path);
    Totals getline = ReadWithGetline(path);
    std::filesystem::remove_all(folderPattern);

    std::printf("file: %lld bytes, %lld lines of %d bytes (CR LF)\n",
                static_cast<long long>(kFileBytes), static_cast<long long>(getline.lines),
                kLineBytes);
    std::printf("ReadLine:     %8.1f MB/s  (%.3f s, %lld lines, %lld text bytes)\n",
                MegabytesPerSecond(runtime), runtime.seconds, static_cast<long long>(runtime.lines),
                static_cast<long long>(runtime.bytes));
    std::printf("std::getline: %8.1f MB/s  (%.3f s, %lld lines, %lld text bytes)\n",
                MegabytesPerSecond(getline), getline.seconds, static_cast<long long>(getline.lines),
                static_cast<long long>(getline.bytes));
    std::printf("ratio getline/ReadLine: %.2f\n",
                runtime.seconds > 0 ? runtime.seconds / getline.seconds : 0.0);
    bool same = runtime.lines == getline.lines && runtime.bytes == getline.bytes;
    if (!same) {
        std::printf("MISMATCH: the two readers disagree\n");
    }
    return same ? 0 : 1;
}
