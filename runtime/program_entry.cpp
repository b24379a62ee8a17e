#include "runtime/program_entry.h"

#include "platform/win32.h"
#include "runtime/floating_point.h"
#include "runtime/thread_state.h"

namespace {
constexpr std::int32_t kStartUpFailed = 255;
constexpr char kQuote = '"';
constexpr char kSpace = ' ';

const char* SkipSpaces(const char* text) {
    while (*text == kSpace) {
        ++text;
    }
    return text;
}

std::int32_t ShowState() {
    STARTUPINFOA startupInfo{};
    startupInfo.cb = sizeof startupInfo;
    GetStartupInfoA(&startupInfo);
    return (startupInfo.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startupInfo.wShowWindow
                                                             : SW_SHOWDEFAULT;
}
}  // namespace

const char* ArgumentText(const char* commandLine) {
    static const char kEmpty[1] = {0};
    if (commandLine == nullptr) {
        return kEmpty;
    }
    const char* at = commandLine;
    if (*at == kQuote) {
        ++at;
        while (*at != 0 && *at != kQuote) {
            ++at;
        }
        if (*at == 0) {
            return at;  // never closed: nothing after the name
        }
        return SkipSpaces(at + 1);
    }
    while (static_cast<unsigned char>(*at) > 32) {
        ++at;
    }
    return *at == kSpace ? SkipSpaces(at) : at;
}

std::int32_t RunProgram(MainFunction appMain) {
    CoInitialize(nullptr);
    const std::int32_t showState = ShowState();
    const char* argumentText = ArgumentText(GetCommandLineA());
    const HINSTANCE instance = GetModuleHandleA(nullptr);

    std::int32_t exitCode = kStartUpFailed;
    if (CreateThreadState()) {
        // The process run-time state (open files, the file number counter,
        // a pending directory search) is zero by static initialisation, and
        // this runs once per process, so there is nothing to clear here.
        SetFloatingPointSettings();
        exitCode = appMain(instance, nullptr, argumentText, showState);
        ReleaseThreadState();
    }
    CoUninitialize();
    return exitCode;
}

void ProgramEntry(MainFunction appMain) {
    ExitProcess(static_cast<UINT>(RunProgram(appMain)));
}
