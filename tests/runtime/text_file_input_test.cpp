#include "runtime/text_file_input.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "runtime/error_numbers.h"
#include "runtime/text_file_input_detail.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "text-file-input-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const std::string& Path() const { return path_; }
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::string path = path_ + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

  private:
    std::string path_;
};

DynamicString D(const std::string& s) {
    return DynamicString(std::string_view(s));
}

// Reads an open file to its end the way the report printer does, and closes
// it; also fails the test on any error number left behind or on a loop that
// would not end.
std::vector<std::string> ReadLinesToTheEnd(std::int32_t number) {
    ErrorSlot slot;
    std::vector<std::string> lines;
    while (~AtEndOfFile(number) != 0) {
        lines.push_back(ReadLine(number).ToStdString());
        EXPECT_EQ(ReadAndClearErrorNumber(), 0);
        if (lines.size() > 100000) {
            ADD_FAILURE() << "no end";
            break;
        }
    }
    CloseFile(number);
    EXPECT_EQ(ReadAndClearErrorNumber(), 0);
    return lines;
}

std::vector<std::string> ReadAllLines(const std::string& path) {
    ErrorSlot slot;
    std::int32_t number = NextFreeFileNumber();
    OpenForInput(D(path), number);
    EXPECT_EQ(ReadAndClearErrorNumber(), 0);
    return ReadLinesToTheEnd(number);
}

struct LineCase {
    const char* name;
    std::string bytes;
    std::vector<std::string> lines;
};

TEST(ReadLine, FollowsTheLineRules) {
    const std::string x127(127, 'x');
    const std::string x128(128, 'x');
    const std::string binary = [] {
        std::string all;
        for (int i = 0; i < 256; ++i) {
            if (i != 13 && i != 26) {
                all.push_back(static_cast<char>(i));
            }
        }
        return all;
    }();
    const std::vector<LineCase> cases = {
        {"empty file", "", {}},
        {"final line end gives no extra line", "A\r\nB\r\n", {"A", "B"}},
        {"last line without line end", "A\r\nB", {"A", "B"}},
        {"two empty lines", "\r\n\r\n", {"", ""}},
        {"CR CR LF", "A\r\r\nB", {"A", "", "B"}},
        {"lone CR ends a line", "A\rB\r", {"A", "B"}},
        {"LF stays in the line", "A\nB\n", {"A\nB\n"}},
        {"LF CR", "A\n\rB", {"A\n", "B"}},
        {"mark after a line",
         "A\r\n\x1A"
         "B\r\n",
         {"A"}},
        {"mark inside a line",
         "AB\x1A"
         "C",
         {"AB"}},
        {"mark first",
         "\x1A"
         "A\r\n",
         {}},
        {"zero bytes kept", "a\0b\0\r\n\0"s, {"a\0b\0"s, "\0"s}},
        {"CR last of a block, LF first of the next", x127 + "\r\nY", {x127, "Y"}},
        {"CR LF first of the second block", x128 + "\r\nY", {x128, "Y"}},
        {"CR last of a block, CR first of the next", x127 + "\r\rY", {x127, "", "Y"}},
        {"CR last byte of the file at a block end", x127 + "\r", {x127}},
        {"mark first of the second block",
         x128 + "\x1A"
                "B",
         {x128}},
        {"line across staging pieces", std::string(1000, 'q') + "\r\n", {std::string(1000, 'q')}},
        {"binary bytes", binary + "\r\n" + binary, {binary, binary}},
    };
    TempFolder folder;
    for (const auto& c : cases) {
        std::string path = folder.Write("case.txt", c.bytes);
        EXPECT_EQ(ReadAllLines(path), c.lines) << c.name;
    }
}

TEST(ReadLine, LongLineComesBackWholeAcrossManyBlocks) {
    std::string line;
    for (int i = 0; i < (1 << 20) + 77; ++i) {
        line.push_back(static_cast<char>("abc\n\0def"[i % 8]));
    }
    TempFolder folder;
    auto lines = ReadAllLines(folder.Write("long.txt", line + "\r\nend"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0] == line);
    EXPECT_EQ(lines[1], "end");
}

TEST(ReadLine, PastTheEndOrAtTheMarkGives62AndTheMarkIsNeverConsumed) {
    ErrorSlot slot;
    TempFolder folder;
    std::int32_t number = NextFreeFileNumber();
    OpenForInput(D(folder.Write("mark.txt",
                                "A\r\n\x1A"
                                "B")),
                 number);
    EXPECT_EQ(ReadLine(number).ToStdString(), "A");
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(AtEndOfFile(number), -1);
        EXPECT_TRUE(ReadLine(number).IsEmpty());
        EXPECT_EQ(ReadAndClearErrorNumber(), 62);
    }
    CloseFile(number);

    number = NextFreeFileNumber();
    OpenForInput(D(folder.Write("empty.txt", "")), number);
    EXPECT_EQ(AtEndOfFile(number), -1);
    EXPECT_TRUE(ReadLine(number).IsEmpty());
    EXPECT_EQ(ReadAndClearErrorNumber(), 62);
    CloseFile(number);
    EXPECT_EQ(ReadAndClearErrorNumber(), 0);
}

TEST(ReadLine, FileTruncatedOrRemovedWhileOpenEndsCleanly) {
    ErrorSlot slot;
    TempFolder folder;
    std::string text;
    for (int i = 0; i < 100; ++i) {
        text += "line " + std::to_string(i) + "\r\n";
    }
    std::string path = folder.Write("shrinks.txt", text);
    std::int32_t number = NextFreeFileNumber();
    OpenForInput(D(path), number);
    EXPECT_EQ(ReadLine(number).ToStdString(), "line 0");
    ASSERT_EQ(truncate(path.c_str(), 200), 0);
    ASSERT_EQ(unlink(path.c_str()), 0);
    int lines = 0;
    while (AtEndOfFile(number) == 0 && lines < 1000) {
        ReadLine(number);
        ++lines;
    }
    EXPECT_LT(lines, 30);
    EXPECT_EQ(ReadAndClearErrorNumber(), 0);
    CloseFile(number);
}

TEST(FileNumbers, CountOnAfterCloseAndWrapSkippingOpenNumbers) {
    ErrorSlot slot;
    TempFolder folder;
    std::string path = folder.Write("n.txt", "x");
    SetFileNumberCounterForTesting(0);
    std::int32_t first = NextFreeFileNumber();
    EXPECT_EQ(first, 1);
    OpenForInput(D(path), first);
    CloseFile(first);
    EXPECT_EQ(NextFreeFileNumber(), 2);

    OpenForInput(D(folder.Write("a.txt", "a")), 1);
    OpenForInput(D(folder.Write("b.txt", "b")), 2);
    OpenForInput(D(folder.Write("c.txt", "c")), 32767);
    EXPECT_EQ(ReadAndClearErrorNumber(), 0);
    SetFileNumberCounterForTesting(32765);
    EXPECT_EQ(NextFreeFileNumber(), 32766);
    EXPECT_EQ(NextFreeFileNumber(), 3);
    CloseFile(1);
    CloseFile(2);
    CloseFile(32767);
    EXPECT_EQ(ReadAndClearErrorNumber(), 0);
}

TEST(FileNumbers, OnlyTheLowSixteenBitsIdentifyAFile) {
    ErrorSlot slot;
    TempFolder folder;
    OpenForInput(D(folder.Write("low.txt", "L\r\n")), 0x10007);
    EXPECT_EQ(ReadAndClearErrorNumber(), 0);
    EXPECT_EQ(ReadLine(7).ToStdString(), "L");
    CloseFile(7);
    EXPECT_EQ(ReadAndClearErrorNumber(), 0);
}

struct OpenFailure {
    const char* name;
    std::string path;
    std::int32_t number;
    std::int32_t expected;
};

TEST(OpenForInput, RecordsTheNumberOfEachFailureAndLeavesTheNumberFree) {
    ErrorSlot slot;
    TempFolder folder;
    std::string file = folder.Write("plain.txt", "text\r\n");
    fs::create_directory(folder.Path() + "/sub");
    const std::vector<OpenFailure> cases = {
        {"missing file", folder.Path() + "/missing.txt", 40, 53},
        {"missing folder", folder.Path() + "/nowhere/x.txt", 40, 76},
        {"file used as a folder", file + "/x.txt", 40, 76},
        {"folder", folder.Path() + "/sub", 40, 70},
        {"star", folder.Path() + "/*.txt", 40, 64},
        {"question mark", folder.Path() + "/plain.tx?", 40, 64},
        {"empty path", "", 40, 64},
        {"zero byte first", "\0abc"s, 40, 64},
        {"name too long for the system", folder.Path() + "/" + std::string(300, 'n'), 40, 75},
        {"negative number", file, -1, 52},
        {"negative in the low sixteen bits", file, 0x8000, 52},
    };
    for (const auto& c : cases) {
        OpenForInput(D(c.path), c.number);
        EXPECT_EQ(ReadAndClearErrorNumber(), c.expected) << c.name;
        EXPECT_TRUE(ReadLine(c.number).IsEmpty()) << c.name;
        EXPECT_EQ(ReadAndClearErrorNumber(), 52) << c.name << ": number must stay free";
    }
}

TEST(OpenForInput, BadRecordLengthGives5AndANumberInUseGives55) {
    ErrorSlot slot;
    TempFolder folder;
    std::string path = folder.Write("r.txt", "r\r\n");
    OpenFileNumber(D(path), 41, kInputOpenDescriptor, 0);
    EXPECT_EQ(ReadAndClearErrorNumber(), 5);
    OpenFileNumber(D(path), 41, kInputOpenDescriptor, -128);
    EXPECT_EQ(ReadAndClearErrorNumber(), 5);
    OpenForInput(D(path), 41);
    OpenForInput(D(folder.Write("s.txt", "s")), 41);
    EXPECT_EQ(ReadAndClearErrorNumber(), 55);
    EXPECT_EQ(ReadLine(41).ToStdString(), "r");
    CloseFile(41);
}

TEST(OpenForInput, OneByteRecordsReadTheSameLines) {
    ErrorSlot slot;
    TempFolder folder;
    OpenFileNumber(D(folder.Write("one.txt", "ab\r\ncd\r\n")), 42, kInputOpenDescriptor, 1);
    EXPECT_EQ(ReadLine(42).ToStdString(), "ab");
    EXPECT_EQ(ReadLine(42).ToStdString(), "cd");
    EXPECT_EQ(AtEndOfFile(42), -1);
    CloseFile(42);
    EXPECT_EQ(ReadAndClearErrorNumber(), 0);
}

TEST(OpenForInput, FileNotOpenForInputGives54) {
    ErrorSlot slot;
    TempFolder folder;
    OpenFileNumber(D(folder.Write("o.txt", "o\r\n")), 43, 0x02A1, 128);
    EXPECT_EQ(ReadAndClearErrorNumber(), 0);
    EXPECT_TRUE(ReadLine(43).IsEmpty());
    EXPECT_EQ(ReadAndClearErrorNumber(), 54);
    CloseFile(43);
}

TEST(OpenForInput, IsExclusiveWhileOpenAndRefusesAFileLockedElsewhere) {
    ErrorSlot slot;
    TempFolder folder;
    std::string path = folder.Write("locked.txt", "L\r\n");
    int fd = open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    OpenForInput(D(path), 44);
    EXPECT_EQ(ReadAndClearErrorNumber(), 70);
    flock(fd, LOCK_UN);

    OpenForInput(D(path), 44);
    EXPECT_EQ(ReadAndClearErrorNumber(), 0);
    EXPECT_NE(flock(fd, LOCK_SH | LOCK_NB), 0);
    OpenForInput(D(path), 45);
    EXPECT_EQ(ReadAndClearErrorNumber(), 70);
    CloseFile(44);
    EXPECT_EQ(flock(fd, LOCK_SH | LOCK_NB), 0);
    close(fd);
}

TEST(OpenForInput, UnreadableFileGives70) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "permissions do not bind the superuser";
    }
    ErrorSlot slot;
    TempFolder folder;
    std::string path = folder.Write("secret.txt", "s");
    chmod(path.c_str(), 0);
    OpenForInput(D(path), 46);
    EXPECT_EQ(ReadAndClearErrorNumber(), 70);
}

TEST(OpenForInput, FailingFirstBlockReadFailsTheOpen) {
    // Offset 0 of a process's memory is never mapped, so reading it fails.
    if (access("/proc/self/mem", R_OK) != 0) {
        GTEST_SKIP() << "no /proc";
    }
    ErrorSlot slot;
    OpenForInput("/proc/self/mem", 47);
    EXPECT_EQ(ReadAndClearErrorNumber(), 72);
    CloseFile(47);
    EXPECT_EQ(ReadAndClearErrorNumber(), 0);
}

TEST(OpenForInput, PathLongerThan255BytesOpensTheFileItNames) {
    ErrorSlot slot;
    TempFolder folder;
    std::string deep = folder.Path();
    while (deep.size() < 400) {
        deep += "/" + std::string(60, 'd');
        fs::create_directory(deep);
    }
    std::string path = deep + "/report.txt";
    std::ofstream(path, std::ios::binary) << "deep\r\n";
    EXPECT_EQ(ReadAllLines(path), std::vector<std::string>{"deep"});
    // The first 255 bytes name a folder that exists: it must not be what opens.
    OpenForInput(D(path.substr(0, 255)), 48);
    EXPECT_NE(ReadAndClearErrorNumber(), 0);
}

struct PipeCase {
    const char* name;
    std::vector<std::string> writes;  // each after a pause
    std::vector<std::string> lines;
};

// Writes each piece after a pause, so the reader meets an empty pipe
// before each one, then closes the pipe.
void WriteWithPauses(int fd, const std::vector<std::string>& writes) {
    for (const std::string& bytes : writes) {
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
        EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
    close(fd);
}

// Opens the read end under a number before the writer starts, reads every
// line while the writer runs, and gives the lines.
std::vector<std::string> ReadWhileWriting(const std::string& path,
                                          const std::function<void()>& writer) {
    ErrorSlot slot;
    std::int32_t number = NextFreeFileNumber();
    OpenForInput(D(path), number);
    EXPECT_EQ(ReadAndClearErrorNumber(), 0);
    std::thread writing(writer);
    std::vector<std::string> lines = ReadLinesToTheEnd(number);
    writing.join();
    return lines;
}

TEST(ReadLine, PipeWaitsForAPausingWriterAndEndsOnlyAtItsClose) {
    const std::string x300(300, 'x');
    const std::vector<PipeCase> cases = {
        {"nothing written", {}, {}},
        {"writer that pauses between lines",
         {"first\r\n", "second\r\n", "third"},
         {"first", "second", "third"}},
        {"CR LF split across writes", {"first\r", "\nsecond\r", "\n"}, {"first", "second"}},
        {"CR, then a CR in the next write", {"a\r", "\rb"}, {"a", "", "b"}},
        {"an LF not after a CR stays", {"a\r", "b\n", "\nc"}, {"a", "b\n\nc"}},
        {"a line in pieces", {"fi", "rst", "\r\nsec", "ond"}, {"first", "second"}},
        {"mark in a later write",
         {"a\r\n",
          "b\x1A"
          "c\r\n"},
         {"a", "b"}},
        {"line longer than a block across writes",
         {x300, x300 + "\r\n", "end"},
         {x300 + x300, "end"}},
    };
    TempFolder folder;
    for (const PipeCase& c : cases) {
        // A FIFO whose writer opens it only after the reader has started. A
        // second read end, never read, lets the writer open whatever the reader does.
        std::string fifo = folder.Path() + "/fifo";
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        int spare = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
        EXPECT_EQ(ReadWhileWriting(fifo,
                                   [&] {
                                       std::this_thread::sleep_for(std::chrono::milliseconds(15));
                                       WriteWithPauses(open(fifo.c_str(), O_WRONLY), c.writes);
                                   }),
                  c.lines)
            << "FIFO: " << c.name;
        close(spare);
        unlink(fifo.c_str());

        // A pipe named by its descriptor, as a shell's process substitution gives.
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        EXPECT_EQ(ReadWhileWriting("/dev/fd/" + std::to_string(ends[0]),
                                   [&] { WriteWithPauses(ends[1], c.writes); }),
                  c.lines)
            << "pipe: " << c.name;
        close(ends[0]);
    }
}

struct ReadCounts {
    std::uint64_t bytes = 0;
    std::uint64_t calls = 0;
};

// The bytes a process has read and its read system calls, from /proc.
ReadCounts ReadCountsOf(pid_t pid) {
    std::ifstream io("/proc/" + std::to_string(pid) + "/io");
    ReadCounts counts;
    std::string key;
    std::uint64_t value = 0;
    while (io >> key >> value) {
        if (key == "rchar:") {
            counts.bytes = value;
        } else if (key == "syscr:") {
            counts.calls = value;
        }
    }
    return counts;
}

TEST(ReadLine, DeviceThatNeverEndsIsReadInBlocks) {
    if (access("/proc/self/io", R_OK) != 0) {
        GTEST_SKIP() << "no /proc/self/io";
    }
    // /dev/zero holds no line end, so its one line never ends: a child reads
    // it while this process counts the child's reads.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        ErrorSlot slot;
        OpenForInput("/dev/zero", 51);
        while (AtEndOfFile(51) == 0) {
            ReadLine(51);
        }
        _exit(1);
    }
    constexpr std::uint64_t kEnough = 1 << 18;
    ReadCounts counts;
    for (int wait = 0; wait < 3000 && counts.bytes < kEnough; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        counts = ReadCountsOf(child);
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    ASSERT_GE(counts.bytes, kEnough);
    EXPECT_GE(counts.bytes / counts.calls, 64u)
        << counts.calls << " reads for " << counts.bytes << " bytes";
}

TEST(FileNumberServices, NumbersThatAreNotOpen) {
    ErrorSlot slot;
    CloseFile(30000);
    EXPECT_EQ(ReadAndClearErrorNumber(), 0);
    EXPECT_TRUE(ReadLine(30000).IsEmpty());
    EXPECT_EQ(ReadAndClearErrorNumber(), 52);
    EXPECT_EQ(AtEndOfFile(30000), 0);
    EXPECT_EQ(ReadAndClearErrorNumber(), 52);
}

class DirectoryMatch : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_.Write("b.txt", "b");
        folder_.Write("a.txt", "a");
        folder_.Write("noext", "n");
        folder_.Write(".hidden", "h");
        folder_.Write("[x].dat", "x");
        folder_.Write("back\\slash:colon", "c");
        fs::create_directory(Path("sub"));
        fs::create_directory(Path("only"));
        ASSERT_EQ(mkfifo(Path("only/pipe").c_str(), 0600), 0);
        folder_.Write("only/.secret", "s");
        fs::create_directory(Path("only/inner"));
    }
    std::string Path(const std::string& name) const { return folder_.Path() + "/" + name; }
    static std::string Match(const std::string& pattern, std::int32_t mask = 0) {
        return FirstDirectoryMatch(D(pattern), mask).ToStdString();
    }
    static std::vector<std::string> AllMatches(const std::string& pattern, std::int32_t mask = 0) {
        std::vector<std::string> names;
        for (std::string name = Match(pattern, mask); !name.empty(); name = Match("", mask)) {
            names.push_back(name);
        }
        return names;
    }

    TempFolder folder_;
};

TEST_F(DirectoryMatch, PlainFilesOnlyWithMaskZero) {
    ErrorSlot slot;
    using Names = std::vector<std::string>;
    EXPECT_EQ(AllMatches(folder_.Path() + "/"),
              (Names{"[x].dat", "a.txt", "b.txt", "back\\slash:colon", "noext"}));
    EXPECT_EQ(Match(Path("a.txt")), "a.txt");
    EXPECT_EQ(Match(Path("back\\slash:colon")), "back\\slash:colon");
    EXPECT_EQ(Match(Path("sub")), "");
    EXPECT_EQ(Match(Path(".hidden")), "");
    EXPECT_EQ(Match(Path("only/pipe")), "");
    EXPECT_EQ(Match(Path("only/")), "");
    EXPECT_EQ(ReadAndClearErrorNumber(), 0);
}

TEST_F(DirectoryMatch, MaskBitsAdmitHiddenSystemAndFolderEntries) {
    ErrorSlot slot;
    using Names = std::vector<std::string>;
    EXPECT_EQ(AllMatches(Path("only/"), 0x02), (Names{".secret"}));
    EXPECT_EQ(AllMatches(Path("only/"), 0x04), (Names{"pipe"}));
    EXPECT_EQ(AllMatches(Path("only/"), 0x10), (Names{"inner"}));
    EXPECT_EQ(AllMatches(Path("only/"), 0x16), (Names{".secret", "inner", "pipe"}));
    EXPECT_EQ(AllMatches(Path("only/"), 0x08), Names{});
    EXPECT_EQ(Match(Path("sub"), 0x10), "sub");
}

TEST_F(DirectoryMatch, WildcardsStarAndQuestionMarkOnly) {
    ErrorSlot slot;
    using Names = std::vector<std::string>;
    const std::vector<std::pair<std::string, Names>> cases = {
        {"*.txt", {"a.txt", "b.txt"}},
        {"?.txt", {"a.txt", "b.txt"}},
        {"??.txt", {}},
        {"b*", {"b.txt", "back\\slash:colon"}},
        {"*.*", {"[x].dat", "a.txt", "b.txt", "back\\slash:colon", "noext"}},
        {"noext.*", {"noext"}},
        {"*", {"[x].dat", "a.txt", "b.txt", "back\\slash:colon", "noext"}},
        {"[x]*", {"[x].dat"}},
        {"[a]*", {}},
        {"*x*t", {"[x].dat", "a.txt", "b.txt", "noext"}},
        {"*.TXT", {}},
    };
    for (const auto& [pattern, names] : cases) {
        EXPECT_EQ(AllMatches(Path(pattern)), names) << pattern;
    }
    EXPECT_EQ(ReadAndClearErrorNumber(), 0);
}

TEST_F(DirectoryMatch, AWildcardMatchPassesTheTestButNotTheOpen) {
    ErrorSlot slot;
    EXPECT_EQ(Match(Path("a.t?t")), "a.txt");
    OpenForInput(D(Path("a.t?t")), 49);
    EXPECT_EQ(ReadAndClearErrorNumber(), 64);
}

TEST_F(DirectoryMatch, NoMatchIsEmptyAndClearsTheErrorNumber) {
    ErrorSlot slot;
    const std::vector<std::string> patterns = {
        Path("missing.txt"), Path("nowhere/a.txt"),       Path("nowhere/"),
        Path("*.none"),      Path(std::string(300, 'n')), Path(std::string(300, 'n') + "/*.*"),
    };
    for (const auto& pattern : patterns) {
        RecordErrorNumber(53);
        EXPECT_EQ(Match(pattern), "") << pattern;
        EXPECT_EQ(ReadAndClearErrorNumber(), 0) << pattern;
    }
}

TEST_F(DirectoryMatch, ContinuationEndsAndANewPatternStartsAfresh) {
    ErrorSlot slot;
    EXPECT_EQ(Match(Path("*.txt")), "a.txt");
    EXPECT_EQ(Match(Path("noext")), "noext");
    EXPECT_EQ(Match(""), "");
    EXPECT_EQ(Match(""), "");
    EXPECT_EQ(Match(Path("*.txt")), "a.txt");
    EXPECT_EQ(Match(""), "b.txt");
    EXPECT_EQ(Match(""), "");
    EXPECT_EQ(ReadAndClearErrorNumber(), 0);
}

TEST(CurrentDirectory, GivesTheWholeCurrentDirectoryEvenPast259Bytes) {
    ErrorSlot slot;
    std::string before = fs::current_path().string();
    EXPECT_EQ(CurrentDirectory(DynamicString()).ToStdString(), before);
    TempFolder folder;
    std::string deep = folder.Path();
    while (deep.size() < 300) {
        deep += "/" + std::string(50, 'c');
        fs::create_directory(deep);
    }
    fs::current_path(deep);
    EXPECT_EQ(CurrentDirectory(DynamicString()).ToStdString(), deep);
    fs::current_path(before);
    EXPECT_EQ(ReadAndClearErrorNumber(), 0);
}

}  // namespace
