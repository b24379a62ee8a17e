#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32.h"

extern char** environ;

namespace {
constexpr const char* kChildOutput = "PROCESS_POSIX_TEST_COMMAND_LINE_FILE";
constexpr const char* kChildFilter =
    "--gtest_filter=CommandLine.QuotesArgumentsWithSpacesTabsOrNothing";
}  // namespace

TEST(CommandLine, QuotesArgumentsWithSpacesTabsOrNothing) {
    if (const char* output = std::getenv(kChildOutput)) {
        // The child run: hand the command line to the parent and stop.
        std::ofstream(output, std::ios::binary) << GetCommandLineA();
        return;
    }
    char pattern[] = "/tmp/command_line_XXXXXX";
    const int fd = mkstemp(pattern);
    ASSERT_GE(fd, 0);
    close(fd);

    std::vector<std::string> arguments = {"prog name", kChildFilter, "plain", "", "tab\there", "x"};
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> environment = {std::string(kChildOutput) + "=" + pattern};
    for (char** variable = environ; *variable != nullptr; ++variable) {
        environment.emplace_back(*variable);
    }
    std::vector<char*> envp;
    for (std::string& variable : environment) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);

    pid_t child = 0;
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const int spawned =
        posix_spawn(&child, "/proc/self/exe", &quiet, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&quiet);
    ASSERT_EQ(spawned, 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    std::stringstream written;
    written << std::ifstream(pattern, std::ios::binary).rdbuf();
    std::remove(pattern);
    EXPECT_EQ(written.str(),
              std::string("\"prog name\" ") + kChildFilter + " plain \"\" \"tab\there\" x");
}

TEST(CommandLine, IsMadeOnceAndNamesTheProgramFirst) {
    LPSTR first = GetCommandLineA();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetCommandLineA(), first);
    EXPECT_NE(std::string(first).find("platform_tests"), std::string::npos);
}

TEST(StartupInfo, CarriesNoShowState) {
    STARTUPINFOA info;
    std::memset(&info, 0xAB, sizeof info);
    GetStartupInfoA(&info);
    EXPECT_EQ(info.cb, sizeof info);
    EXPECT_EQ(info.dwFlags & STARTF_USESHOWWINDOW, 0u);
}

TEST(ModuleHandle, IsTheSameNonNullHandleForTheProgram) {
    HMODULE program = GetModuleHandleA(nullptr);
    EXPECT_NE(program, nullptr);
    EXPECT_EQ(GetModuleHandleA(nullptr), program);
    EXPECT_EQ(GetModuleHandleA("other.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

TEST(ComponentObjectModel, CountsEntriesPerThread) {
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    std::thread([] {
        EXPECT_EQ(CoInitialize(nullptr), S_OK);
        CoUninitialize();
    }).join();
    CoUninitialize();
    CoUninitialize();
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    CoUninitialize();
}

TEST(ThreadSlots, HoldOneValuePerThreadAndStartNullOnEveryAllocation) {
    const DWORD slot = TlsAlloc();
    ASSERT_NE(slot, TLS_OUT_OF_INDEXES);
    int mine = 1;
    EXPECT_EQ(TlsGetValue(slot), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    ASSERT_TRUE(TlsSetValue(slot, &mine));
    EXPECT_EQ(TlsGetValue(slot), &mine);
    std::thread([slot] {
        EXPECT_EQ(TlsGetValue(slot), nullptr);
        int theirs = 2;
        EXPECT_TRUE(TlsSetValue(slot, &theirs));
        EXPECT_EQ(TlsGetValue(slot), &theirs);
    }).join();
    EXPECT_EQ(TlsGetValue(slot), &mine);

    // The same index handed out again must not show the old value.
    ASSERT_TRUE(TlsFree(slot));
    EXPECT_FALSE(TlsFree(slot));
    EXPECT_EQ(TlsGetValue(slot), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(TlsSetValue(slot, &mine));
    const DWORD again = TlsAlloc();
    ASSERT_EQ(again, slot);
    EXPECT_EQ(TlsGetValue(again), nullptr);
    TlsFree(again);
}

TEST(ThreadSlots, RunOutAndComeBack) {
    std::vector<DWORD> taken;
    for (DWORD slot = TlsAlloc(); slot != TLS_OUT_OF_INDEXES; slot = TlsAlloc()) {
        taken.push_back(slot);
    }
    EXPECT_GE(taken.size(), TLS_MINIMUM_AVAILABLE);
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
    EXPECT_FALSE(TlsSetValue(TLS_OUT_OF_INDEXES, nullptr));
    ASSERT_TRUE(TlsFree(taken.back()));
    EXPECT_EQ(TlsAlloc(), taken.back());
    for (DWORD slot : taken) {
        TlsFree(slot);
    }
}

TEST(GlobalMemory, ZeroInitialisesOnRequest) {
    auto* block = static_cast<unsigned char*>(GlobalAlloc(GMEM_ZEROINIT, 4096));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 4096; ++i) {
        ASSERT_EQ(block[i], 0) << i;
    }
    EXPECT_EQ(GlobalFree(block), nullptr);
    HGLOBAL empty = GlobalAlloc(GPTR, 0);
    EXPECT_NE(empty, nullptr);
    GlobalFree(empty);
}

TEST(ExitProcessDeathTest, EndsWithTheCodeAndKeepsBufferedOutput) {
    EXPECT_EXIT(
        {
            static char buffer[256];
            std::setvbuf(stderr, buffer, _IOFBF, sizeof buffer);
            std::fputs("unflushed", stderr);
            ExitProcess(7);
        },
        ::testing::ExitedWithCode(7), "unflushed");
    EXPECT_EXIT(ExitProcess(0), ::testing::ExitedWithCode(0), "");
}
