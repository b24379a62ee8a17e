// Process start-up and end over POSIX.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/win32_process.h"

namespace {
thread_local int comInitializeCount = 0;

// The thread-local slots. A slot's generation is odd while it is allocated
// and moves on at every allocation and free, so a value that a thread stored
// under an earlier allocation of the same index is never read back.
constexpr DWORD kSlotCount = TLS_MINIMUM_AVAILABLE + 1024;
std::atomic<std::uint32_t> slotGeneration[kSlotCount];
std::mutex slotAllocation;

struct SlotValue {
    std::uint32_t generation;
    LPVOID value;
};

// This thread's values, made on the first store.
struct ThreadSlotValues {
    SlotValue* values = nullptr;
    ~ThreadSlotValues() { std::free(values); }
};
thread_local ThreadSlotValues threadSlots;

bool IsAllocated(std::uint32_t generation) {
    return (generation & 1u) != 0;
}

std::string ReadWholeFile(const char* path) {
    std::string bytes;
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return bytes;
    }
    char chunk[4096];
    std::size_t count = 0;
    while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.append(chunk, count);
    }
    std::fclose(file);
    return bytes;
}

std::string WindowsCommandLine(const std::string& zeroSeparated) {
    std::string line;
    std::size_t start = 0;
    while (start < zeroSeparated.size()) {
        std::size_t end = zeroSeparated.find('\0', start);
        if (end == std::string::npos) {
            end = zeroSeparated.size();
        }
        const std::string argument = zeroSeparated.substr(start, end - start);
        if (start > 0) {
            line += ' ';
        }
        if (argument.empty() || argument.find_first_of(" \t") != std::string::npos) {
            line += '"' + argument + '"';
        } else {
            line += argument;
        }
        start = end + 1;
    }
    return line;
}

char programModule;
}  // namespace

HRESULT WINAPI CoInitialize(LPVOID) {
    return comInitializeCount++ == 0 ? S_OK : S_FALSE;
}

void WINAPI CoUninitialize() {
    if (comInitializeCount > 0) {
        --comInitializeCount;
    }
}

void WINAPI GetStartupInfoA(LPSTARTUPINFOA startupInfo) {
    if (startupInfo == nullptr) {
        return;
    }
    *startupInfo = STARTUPINFOA{};
    startupInfo->cb = sizeof(STARTUPINFOA);
}

LPSTR WINAPI GetCommandLineA() {
    static std::string commandLine = WindowsCommandLine(ReadWholeFile("/proc/self/cmdline"));
    return commandLine.data();
}

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
    if (moduleName != nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HMODULE>(&programModule);
}

DWORD WINAPI TlsAlloc() {
    std::lock_guard<std::mutex> hold(slotAllocation);
    for (DWORD index = 0; index < kSlotCount; ++index) {
        std::uint32_t generation = slotGeneration[index].load();
        if (!IsAllocated(generation)) {
            slotGeneration[index].store(generation + 1);
            return index;
        }
    }
    SetLastError(ERROR_NO_MORE_ITEMS);
    return TLS_OUT_OF_INDEXES;
}

BOOL WINAPI TlsFree(DWORD index) {
    std::lock_guard<std::mutex> hold(slotAllocation);
    if (index >= kSlotCount || !IsAllocated(slotGeneration[index].load())) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    slotGeneration[index].fetch_add(1);
    return TRUE;
}

LPVOID WINAPI TlsGetValue(DWORD index) {
    const std::uint32_t generation = index < kSlotCount ? slotGeneration[index].load() : 0;
    if (!IsAllocated(generation)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // As on Windows, success clears the last error so that a null value can
    // be told from a failure.
    SetLastError(ERROR_SUCCESS);
    const SlotValue* values = threadSlots.values;
    if (values == nullptr || values[index].generation != generation) {
        return nullptr;
    }
    return values[index].value;
}

BOOL WINAPI TlsSetValue(DWORD index, LPVOID value) {
    const std::uint32_t generation = index < kSlotCount ? slotGeneration[index].load() : 0;
    if (!IsAllocated(generation)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (threadSlots.values == nullptr) {
        threadSlots.values = static_cast<SlotValue*>(std::calloc(kSlotCount, sizeof(SlotValue)));
        if (threadSlots.values == nullptr) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return FALSE;
        }
    }
    threadSlots.values[index] = SlotValue{generation, value};
    return TRUE;
}

HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes) {
    // A zero-byte block is still a distinct block, as on Windows.
    const SIZE_T size = bytes == 0 ? 1 : bytes;
    void* block = (flags & GMEM_ZEROINIT) != 0 ? std::calloc(1, size) : std::malloc(size);
    if (block == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    return block;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL memory) {
    std::free(memory);
    return nullptr;
}

void WINAPI ExitProcess(UINT exitCode) {
    std::fflush(stdout);
    std::fflush(stderr);
    std::exit(static_cast<int>(exitCode));
}
