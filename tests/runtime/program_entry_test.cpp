#include "runtime/program_entry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "runtime/floating_point.h"
#include "runtime/thread_state.h"

TEST(ArgumentText, StartsAfterTheProgramNameAndItsSpaces) {
    struct Case {
        std::string commandLine;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"\"C:\\Program Files\\demo.exe\"   a b", "a b"},
        {"demo a", "a"},
        {"demo", ""},
        {"\"demo\"", ""},
        {"\"demo\"x y", "x y"},
        {"   a b", "a b"},
        {"", ""},
        {"demo\tx", "\tx"},  // a control byte ends the name and stays
        {"demo   \"a b\"  ", "\"a b\"  "},
        {"d\xE9mo x", "x"},  // bytes above 127 belong to the name
        {"\"", ""},
        {"\"unclosed name with spaces", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(std::string(ArgumentText(c.commandLine.c_str())), c.expected)
            << "[" << c.commandLine << "]";
    }
    EXPECT_STREQ(ArgumentText(nullptr), "");
}

TEST(ArgumentText, AnUnclosedQuoteStopsAtTheEndOfTheText) {
    // Followed by bytes that a scan past the terminator would find.
    const char bytes[] = {'"', 'a', 'b', 0, '"', ' ', 'x', 0};
    EXPECT_EQ(ArgumentText(bytes), bytes + 3);
}

namespace {
struct MainCall {
    int calls = 0;
    HINSTANCE instance = nullptr;
    HINSTANCE previousInstance = nullptr;
    std::string argumentText;
    std::int32_t showState = 0;
    bool hadState = false;
    std::string fontFace;
    std::uint16_t pointSize = 0;
    std::uint16_t pointSizeAfterChange = 0;
    bool stateWasZeroFilled = false;
    std::uint16_t controlWord = 0;
};
MainCall seen;

std::int32_t RecordingMain(HINSTANCE instance, HINSTANCE previousInstance, const char* argumentText,
                           std::int32_t showState) {
    ++seen.calls;
    seen.instance = instance;
    seen.previousInstance = previousInstance;
    seen.argumentText = argumentText;
    seen.showState = showState;
    ThreadRuntimeState* state = CurrentThreadState();
    seen.hadState = state != nullptr;
    seen.fontFace = DialogFontFace();
    seen.pointSize = DialogFontPointSize();
    if (state != nullptr) {
        const std::size_t used = std::strlen(state->dialogFontFace);
        seen.stateWasZeroFilled = true;
        for (std::size_t i = used; i < sizeof state->dialogFontFace; ++i) {
            seen.stateWasZeroFilled = seen.stateWasZeroFilled && state->dialogFontFace[i] == 0;
        }
        // The font functions read the state, not a constant.
        state->dialogFontPointSize = 10;
        seen.pointSizeAfterChange = DialogFontPointSize();
    }
    seen.controlWord = CurrentFloatingPointControlWord();
    return 42;
}

std::int32_t MainThatMustNotRun(HINSTANCE, HINSTANCE, const char*, std::int32_t) {
    ++seen.calls;
    return 0;
}
}  // namespace

TEST(RunProgram, CallsTheMainFunctionOnceWithTheStartUpValues) {
    seen = MainCall{};
    SetDefaultFloatingPointState();
    EXPECT_EQ(RunProgram(RecordingMain), 42);

    EXPECT_EQ(seen.calls, 1);
    EXPECT_NE(seen.instance, nullptr);
    EXPECT_EQ(seen.instance, GetModuleHandleA(nullptr));
    EXPECT_EQ(seen.previousInstance, nullptr);
    EXPECT_EQ(seen.argumentText, ArgumentText(GetCommandLineA()));
    EXPECT_EQ(seen.showState, SW_SHOWDEFAULT);
#if defined(__x86_64__) || defined(__i386__)
    EXPECT_EQ(seen.controlWord, 0x133F);
#endif
}

TEST(RunProgram, GivesTheMainFunctionTheDialogDefaultsAndReleasesThemAfterwards) {
    seen = MainCall{};
    ASSERT_EQ(CurrentThreadState(), nullptr);
    RunProgram(RecordingMain);

    EXPECT_TRUE(seen.hadState);
    EXPECT_EQ(seen.fontFace, "MS Sans Serif");
    EXPECT_EQ(seen.pointSize, 8);
    EXPECT_EQ(seen.pointSizeAfterChange, 10);
    EXPECT_TRUE(seen.stateWasZeroFilled);

    EXPECT_EQ(CurrentThreadState(), nullptr);
    EXPECT_STREQ(DialogFontFace(), "MS Sans Serif");
    EXPECT_EQ(DialogFontPointSize(), 8);
    // Leaves the component object model as often as it entered it.
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    CoUninitialize();
}

TEST(RunProgram, KeepsTheLastErrorAcrossTheDialogFontQueries) {
    // The dialog framework asks for the font between a platform call and
    // the caller's look at GetLastError.
    EXPECT_EQ(RunProgram([](HINSTANCE, HINSTANCE, const char*, std::int32_t) -> std::int32_t {
                  SetLastError(ERROR_FILE_NOT_FOUND);
                  DialogFontFace();
                  DialogFontPointSize();
                  return static_cast<std::int32_t>(GetLastError());
              }),
              static_cast<std::int32_t>(ERROR_FILE_NOT_FOUND));
}

TEST(RunProgram, EndsWith255WithoutCallingMainWhenNoThreadSlotIsLeft) {
    seen = MainCall{};
    std::vector<DWORD> taken;
    for (DWORD slot = TlsAlloc(); slot != TLS_OUT_OF_INDEXES; slot = TlsAlloc()) {
        taken.push_back(slot);
    }
    ASSERT_FALSE(taken.empty());

    EXPECT_EQ(RunProgram(MainThatMustNotRun), 255);
    EXPECT_EQ(seen.calls, 0);
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    CoUninitialize();

    for (DWORD slot : taken) {
        TlsFree(slot);
    }
    // With slots free again the program starts normally.
    EXPECT_EQ(RunProgram(RecordingMain), 42);
}

TEST(ProgramEntryDeathTest, EndsTheProcessWithTheMainFunctionsResult) {
    EXPECT_EXIT(ProgramEntry(RecordingMain), ::testing::ExitedWithCode(42), "");
    EXPECT_EXIT(ProgramEntry([](HINSTANCE, HINSTANCE, const char*, std::int32_t) {
                    return std::int32_t{0};
                }),
                ::testing::ExitedWithCode(0), "");
}
