// Any bytes, read line by line through the numbered-file services from a
// plain file and from a FIFO, in blocks of any length, must give exactly the
// lines of the line rules: every byte handed out once, nothing after the
// end mark, and an end that is reached.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/error_numbers.h"
#include "runtime/text_file_input.h"
#include "runtime/text_file_input_detail.h"
#include "tests/fuzz/fuzz_support.h"

namespace fs = std::filesystem;

namespace {

constexpr std::int32_t kNumber = 7;
// Written whole before the reading starts, so it must fit the pipe.
constexpr std::size_t kLargestPipeText = 32768;

fs::path plainFile;
fs::path fifo;

struct Reading {
    std::uint16_t openDescriptor;
    std::int32_t recordLength;
};

// The first byte chooses the block length (the program's 128 half the
// time, else 1 to 128) and whether the file is shared for writing, which
// takes every byte of a plain file fresh from the system.
Reading ReadingOf(std::uint8_t choice) {
    const std::int32_t length = choice < 128 ? kInputRecordLength : (choice & 0x7F) + 1;
    const std::uint16_t sharing = (choice & 0x40) != 0 ? 0x01A4 : kInputOpenDescriptor;
    return {sharing, length};
}

void CheckError(const char* where, std::int32_t expected) {
    const std::int32_t number = ReadAndClearErrorNumber();
    if (number != expected) {
        FuzzFail(std::string(where) + ": run-time error " + std::to_string(number));
    }
}

// Opens path, lets the writer (if any) write, and reads to the end.
void CheckLines(const char* source, const fs::path& path, const Reading& reading,
                const std::vector<std::string>& expected, const std::function<void()>& writer) {
    ErrorSlot slot;
    OpenFileNumber(DynamicString(path.c_str()), kNumber, reading.openDescriptor,
                   reading.recordLength);
    CheckError("open", 0);
    writer();
    std::vector<std::string> lines;
    while (AtEndOfFile(kNumber) == 0) {
        if (lines.size() == expected.size()) {
            FuzzFail(std::string(source) + ": more lines than the rules make, or no end");
        }
        lines.push_back(ReadLine(kNumber).ToStdString());
        CheckError("ReadLine", 0);
    }
    if (lines != expected) {
        FuzzFail(std::string(source) + ": line " + std::to_string(lines.size()) +
                 " of the rules is missing or differs");
    }
    // At the end it stays at the end, and reading on says so.
    if (AtEndOfFile(kNumber) != -1 || !ReadLine(kNumber).IsEmpty()) {
        FuzzFail(std::string(source) + ": the end did not last");
    }
    CheckError("ReadLine past the end", kPastEndOfFile);
    CloseFile(kNumber);
    CheckError("CloseFile", 0);
}

void WriteToFifo(std::string_view text) {
    const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd < 0 || write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        FuzzFail("cannot fill the FIFO");
    }
    close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const fs::path folder = MakePrivateFolder();
    plainFile = folder / "report.txt";
    fifo = folder / "fifo";
    if (mkfifo(fifo.c_str(), 0600) != 0) {
        FuzzFail("cannot make a FIFO");
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const Reading reading = ReadingOf(data[0]);
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::vector<std::string> expected = ModelLines(text);

    std::ofstream(plainFile, std::ios::binary | std::ios::trunc) << text;
    CheckLines("plain file", plainFile, reading, expected, [] {});
    if (text.size() <= kLargestPipeText) {
        // The writer comes after the open and closes before the reading.
        CheckLines("FIFO", fifo, reading, expected, [&] { WriteToFifo(text); });
    }
    return 0;
}
