// The POSIX file calls answer as Windows would, with Windows error codes.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32.h"

namespace {

namespace fs = std::filesystem;

class FilePosix : public ::testing::Test {
  protected:
    FilePosix() {
        std::string pattern = (fs::temp_directory_path() / "file-posix-XXXXXX").string();
        folder_ = mkdtemp(pattern.data());
    }
    ~FilePosix() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        std::string path = folder_ + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    static HANDLE Open(const std::string& path, DWORD share = 0) {
        return CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    // The Windows error of a failing open, or 0 when it opened (and is closed again).
    static DWORD OpenError(const std::string& path) {
        SetLastError(0);
        HANDLE h = Open(path);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            return 0;
        }
        return GetLastError();
    }

    std::string folder_;
};

TEST_F(FilePosix, OpenFailuresAnswerWithWindowsCodes) {
    std::string file = Write("f.txt", "f");
    fs::create_directory(folder_ + "/dir");
    struct Case {
        std::string path;
        DWORD code;
    };
    const std::vector<Case> cases = {
        {file, 0},
        {folder_ + "/missing", ERROR_FILE_NOT_FOUND},
        {folder_ + "/nowhere/missing", ERROR_PATH_NOT_FOUND},
        {file + "/x", ERROR_PATH_NOT_FOUND},
        {folder_ + "/dir", ERROR_ACCESS_DENIED},
        {folder_ + "/" + std::string(256, 'n'), ERROR_FILENAME_EXCED_RANGE},
        {"", ERROR_PATH_NOT_FOUND},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OpenError(c.path), c.code) << c.path;
    }
    SetLastError(0);
    EXPECT_EQ(CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(fs::exists(file));
    EXPECT_EQ(fs::file_size(file), 1u);
}

TEST_F(FilePosix, ExclusiveOpenHoldsALockUntilClosed) {
    std::string path = Write("x.txt", "x");
    HANDLE first = Open(path);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenError(path), ERROR_SHARING_VIOLATION);
    int fd = open(path.c_str(), O_RDONLY);
    EXPECT_NE(flock(fd, LOCK_SH | LOCK_NB), 0);
    EXPECT_TRUE(CloseHandle(first));
    EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(OpenError(path), ERROR_SHARING_VIOLATION);
    close(fd);
    EXPECT_EQ(OpenError(path), 0u);

    HANDLE shared = Open(path, FILE_SHARE_READ);
    HANDLE second = Open(path, FILE_SHARE_READ);
    EXPECT_NE(shared, INVALID_HANDLE_VALUE);
    EXPECT_NE(second, INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenError(path), ERROR_SHARING_VIOLATION);
    CloseHandle(shared);
    CloseHandle(second);
}

TEST_F(FilePosix, ReadsBlocksFromTheFilePointer) {
    std::string bytes;
    for (int i = 0; i < 300; ++i) {
        bytes.push_back(static_cast<char>(i));
    }
    HANDLE h = Open(Write("blocks.bin", bytes));
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileType(h), FILE_TYPE_DISK);
    char buffer[128];
    DWORD got = 0;
    std::string read;
    SetLastError(0);
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        read.append(buffer, got);
    }
    EXPECT_EQ(read, bytes);
    EXPECT_EQ(GetLastError(), 0u);

    LONG high = 0;
    EXPECT_EQ(SetFilePointer(h, 256, &high, FILE_BEGIN), 256u);
    ASSERT_TRUE(ReadFile(h, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(got, 44u);
    EXPECT_EQ(std::memcmp(buffer, bytes.data() + 256, 44), 0);
    EXPECT_EQ(SetFilePointer(h, -10, nullptr, FILE_END), 290u);
    EXPECT_EQ(SetFilePointer(h, 5, nullptr, FILE_CURRENT), 295u);

    high = 1;  // 4 GiB + 7: past the end, so a read gives nothing
    EXPECT_EQ(SetFilePointer(h, 7, &high, FILE_BEGIN), 7u);
    EXPECT_EQ(high, 1);
    ASSERT_TRUE(ReadFile(h, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(got, 0u);

    SetLastError(0);
    EXPECT_EQ(SetFilePointer(h, -1, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
    EXPECT_TRUE(CloseHandle(h));
}

TEST_F(FilePosix, ClosedHandleIsDeadForEveryCall) {
    HANDLE h = Open(Write("c.txt", "c"));
    ASSERT_TRUE(CloseHandle(h));
    HANDLE again = Open(folder_ + "/c.txt");  // may take the same slot
    char buffer[4];
    DWORD got = 7;
    SetLastError(0);
    EXPECT_FALSE(ReadFile(h, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetFileType(h), FILE_TYPE_UNKNOWN);
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
    EXPECT_FALSE(CloseHandle(nullptr));
    ASSERT_TRUE(ReadFile(again, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(got, 1u);
    EXPECT_TRUE(CloseHandle(again));
}

TEST_F(FilePosix, TruncatedOrRemovedFileReadsWhatIsLeft) {
    std::string path = Write("t.txt", std::string(1000, 't'));
    HANDLE h = Open(path);
    ASSERT_EQ(truncate(path.c_str(), 100), 0);
    ASSERT_EQ(unlink(path.c_str()), 0);
    char buffer[512];
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(h, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(got, 100u);
    ASSERT_TRUE(ReadFile(h, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(got, 0u);
    CloseHandle(h);
}

// Bytes in no short cycle, so that bytes from the wrong place never match.
std::string Varied(std::size_t size, unsigned seed) {
    std::minstd_rand random(seed);
    std::string bytes(size, 0);
    for (char& byte : bytes) {
        byte = static_cast<char>(random() >> 7);
    }
    return bytes;
}

// r: read n bytes; R: read records of n to the end as the run time does (a
// seek to where it stands, then a read); s: seek to n; w: write bytes at n.
struct ReadAheadStep {
    char what;
    std::int64_t n;
    std::string bytes = {};
};

// Runs steps on a handle and a plain descriptor on the same bytes: every read
// through the handle must give, byte for byte and failure for failure, what
// a plain read at that moment gives.
class ReadAheadPosix : public FilePosix {
  protected:
    static void Check(const char* name, const std::string& path, std::int64_t base, DWORD share,
                      const std::vector<ReadAheadStep>& steps) {
        HANDLE handle = Open(path, share);
        ASSERT_NE(handle, INVALID_HANDLE_VALUE) << name;
        int fd = open(path.c_str(), O_RDWR);
        std::int64_t at = 0;
        auto seek = [&](std::int64_t to) {
            LONG high = static_cast<LONG>((at = to) >> 32);
            SetFilePointer(handle, static_cast<LONG>(to & 0xFFFFFFFF), &high, FILE_BEGIN);
        };
        auto readAndCompare = [&](DWORD wanted) {
            std::string plain(wanted, 0), bytes(wanted, 0);
            ssize_t n = 0;
            std::size_t taken = 0;
            while (taken < wanted &&
                   (n = pread(fd, &plain[taken], wanted - taken, at + taken)) > 0) {
                taken += static_cast<std::size_t>(n);
            }
            plain.resize(taken);
            DWORD got = 0;
            SetLastError(0);
            BOOL ok = ReadFile(handle, bytes.data(), wanted, &got, nullptr);
            bytes.resize(got);
            EXPECT_EQ(ok, n >= 0) << name << " at " << at;
            EXPECT_EQ(GetLastError(), n >= 0 ? 0u : ERROR_READ_FAULT) << name;
            EXPECT_TRUE(bytes == plain) << name << " at " << at;
            at += ok ? got : 0;
            return ok && got > 0;
        };
        seek(base);
        for (const ReadAheadStep& step : steps) {
            for (bool more = step.what == 'r' || step.what == 'R'; more;) {
                if (step.what == 'R') {
                    seek(at);
                }
                more = readAndCompare(static_cast<DWORD>(step.n)) && step.what == 'R';
            }
            if (step.what == 's') {
                seek(base + step.n);
            }
            if (step.what == 'w') {
                EXPECT_EQ(pwrite(fd, step.bytes.data(), step.bytes.size(), step.n),
                          static_cast<ssize_t>(step.bytes.size()));
            }
        }
        close(fd);
        CloseHandle(handle);
    }
};

TEST_F(ReadAheadPosix, EveryReadGivesWhatTheFileHoldsThen) {
    const std::int64_t page = sysconf(_SC_PAGESIZE);
    std::string records = Varied(1200 * 128, 7);
    for (std::size_t at = 0; at < records.size(); at += 128) {
        records[at] = '\n';
        records[at + 127] = '\r';
    }
    struct Case {
        const char* name;
        DWORD share;
        std::string bytes;
        std::vector<ReadAheadStep> steps;
        bool inMemoryAroundAHole = false;
    };
    const std::vector<Case> cases = {
        {"a file grown while read",
         0,
         Varied(5000, 1),
         {{'r', 1000}, {'R', 1000}, {'w', 5000, Varied(3000, 2)}, {'R', 1000}}},
        {"a file rewritten after a seek",
         0,
         Varied(5000, 3),
         {{'r', 1000}, {'r', 1000}, {'w', 0, Varied(5000, 4)}, {'s', 1500}, {'R', 1000}}},
        {"a handle shared for writing",
         FILE_SHARE_READ | FILE_SHARE_WRITE,
         Varied(5000, 5),
         {{'r', 100}, {'r', 100}, {'w', 200, Varied(4800, 6)}, {'R', 100}}},
        {"records across block edges", 0, Varied(300000, 8), {{'R', 100}}},
        {"a CR last in a block, its LF first in the next", 0, records, {{'R', 128}}},
        {"an unreadable block",
         0,
         Varied(3 * page, 9),
         {{'R', 100}, {'s', 2 * page}, {'r', 100}},
         true},
    };
    for (const Case& c : cases) {
        if (!c.inMemoryAroundAHole) {
            Check(c.name, Write("case.bin", c.bytes), 0, c.share, c.steps);
            continue;
        }
        // Through /proc/self/mem an address with nothing mapped fails as a disk fault.
        auto* bytes = static_cast<char*>(
            mmap(nullptr, 3 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        ASSERT_NE(bytes, MAP_FAILED);
        std::memcpy(bytes, c.bytes.data(), c.bytes.size());
        munmap(bytes + page, page);
        Check(c.name, "/proc/self/mem", reinterpret_cast<std::intptr_t>(bytes), c.share, c.steps);
        munmap(bytes, page);
        munmap(bytes + 2 * page, page);
    }
}

TEST_F(FilePosix, PipeReadWaitsForItsWriterAndItsCloseIsABrokenPipe) {
    std::string fifo = folder_ + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    HANDLE pipe = Open(fifo);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileType(pipe), FILE_TYPE_PIPE);
    // The writer comes only after the first read has started waiting.
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        int fd = open(fifo.c_str(), O_WRONLY);
        EXPECT_EQ(write(fd, "abc", 3), 3);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        close(fd);
    });
    char buffer[8] = {};
    DWORD got = 9;
    EXPECT_TRUE(ReadFile(pipe, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "abc");
    SetLastError(0);
    EXPECT_FALSE(ReadFile(pipe, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_BROKEN_PIPE);
    EXPECT_EQ(got, 0u);
    writer.join();
    CloseHandle(pipe);
}

TEST_F(FilePosix, DeviceReadGivesWhatItHasUpToTheBytesAskedFor) {
    std::vector<char> buffer(4096, 'x');
    DWORD got = 9;
    HANDLE null = Open("/dev/null", FILE_SHARE_READ);
    ASSERT_NE(null, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileType(null), FILE_TYPE_CHAR);
    EXPECT_TRUE(ReadFile(null, buffer.data(), 1, &got, nullptr));
    EXPECT_EQ(got, 0u);
    CloseHandle(null);

    HANDLE zero = Open("/dev/zero", FILE_SHARE_READ);
    ASSERT_NE(zero, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(ReadFile(zero, buffer.data(), 4096, &got, nullptr));
    EXPECT_EQ(got, 4096u);
    EXPECT_EQ(buffer, std::vector<char>(4096, 0));
    CloseHandle(zero);
}

TEST_F(FilePosix, CurrentDirectoryAsksForTheSizeItNeeds) {
    std::string current = fs::current_path().string();
    char small[2] = {'x', 'y'};
    EXPECT_EQ(GetCurrentDirectoryA(sizeof small, small), current.size() + 1);
    EXPECT_EQ(small[0], 'x');
    std::vector<char> buffer(current.size() + 1);
    EXPECT_EQ(GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data()),
              current.size());
    EXPECT_EQ(std::string(buffer.data()), current);

    EXPECT_TRUE(SetCurrentDirectoryA(folder_.c_str()));
    EXPECT_EQ(fs::current_path().string(), folder_);
    SetLastError(0);
    EXPECT_FALSE(SetCurrentDirectoryA((folder_ + "/none/deeper").c_str()));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_TRUE(SetCurrentDirectoryA(current.c_str()));
}

TEST_F(FilePosix, ErrorModeIsKeptAndHandedBack) {
    UINT before = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    EXPECT_EQ(SetErrorMode(before), SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

class DirectorySearchPosix : public FilePosix {
  protected:
    // Every name a search for pattern gives, with its attributes.
    std::vector<std::pair<std::string, DWORD>> Search(const std::string& pattern,
                                                      DWORD* error = nullptr) {
        std::vector<std::pair<std::string, DWORD>> found;
        WIN32_FIND_DATAA data{};
        SetLastError(0);
        HANDLE h = FindFirstFileA((folder_ + "/" + pattern).c_str(), &data);
        if (h == INVALID_HANDLE_VALUE) {
            if (error) {
                *error = GetLastError();
            }
            return found;
        }
        do {
            found.emplace_back(data.cFileName, data.dwFileAttributes);
        } while (FindNextFileA(h, &data));
        if (error) {
            *error = GetLastError();
        }
        EXPECT_TRUE(FindClose(h));
        EXPECT_FALSE(FindClose(h));
        return found;
    }
};

TEST_F(DirectorySearchPosix, AttributesTellPlainHiddenSystemAndFolderApart) {
    Write("plain", "12345");
    Write(".dot", "");
    fs::create_directory(folder_ + "/dir");
    ASSERT_EQ(mkfifo((folder_ + "/fifo").c_str(), 0600), 0);
    fs::create_symlink("nothing-here", folder_ + "/dangling");
    DWORD error = 0;
    auto found = Search("*", &error);
    EXPECT_EQ(error, ERROR_NO_MORE_FILES);
    const std::vector<std::pair<std::string, DWORD>> expected = {
        {".", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN},
        {"..", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN},
        {".dot", FILE_ATTRIBUTE_HIDDEN},
        {"dangling", FILE_ATTRIBUTE_SYSTEM},
        {"dir", FILE_ATTRIBUTE_DIRECTORY},
        {"fifo", FILE_ATTRIBUTE_SYSTEM},
        {"plain", FILE_ATTRIBUTE_NORMAL},
    };
    EXPECT_EQ(found, expected);

    WIN32_FIND_DATAA data{};
    HANDLE h = FindFirstFileA((folder_ + "/plain").c_str(), &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.nFileSizeLow, 5u);
    EXPECT_GT(data.ftLastWriteTime.dwHighDateTime, 0u);
    SetLastError(0);
    EXPECT_FALSE(FindNextFileA(h, &data));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_FALSE(CloseHandle(h));  // a search is not a file
    EXPECT_TRUE(FindClose(h));
}

TEST_F(DirectorySearchPosix, NoMatchAnswersFileOrPathNotFound) {
    Write("a.txt", "a");
    struct Case {
        std::string pattern;
        DWORD code;
    };
    const std::vector<Case> cases = {
        {"*.none", ERROR_FILE_NOT_FOUND},
        {"b.txt", ERROR_FILE_NOT_FOUND},
        {"", ERROR_FILE_NOT_FOUND},
        {"nowhere/*.*", ERROR_PATH_NOT_FOUND},
        {"nowhere/a.txt", ERROR_PATH_NOT_FOUND},
        {"a.txt/*", ERROR_PATH_NOT_FOUND},
        {std::string(256, 'n'), ERROR_FILENAME_EXCED_RANGE},
        {std::string(256, 'n') + "/*", ERROR_FILENAME_EXCED_RANGE},
    };
    for (const auto& c : cases) {
        DWORD error = 0;
        EXPECT_TRUE(Search(c.pattern, &error).empty()) << c.pattern;
        EXPECT_EQ(error, c.code) << c.pattern;
    }
}

}  // namespace
