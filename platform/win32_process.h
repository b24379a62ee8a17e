// Process start-up and end: the component object model, start-up
// information, the command line, the module handle, thread-local slots,
// global memory and ExitProcess.
#pragma once

// On Windows the system's own declarations stand in for these.
#if defined(_WIN32)
#include "platform/win32.h"
#else

#include <cstddef>

#include "platform/win32_base.h"

using HRESULT = LONG;
using HGLOBAL = HANDLE;
using SIZE_T = std::size_t;
using LPBYTE = BYTE*;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;

constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
constexpr DWORD ERROR_NO_MORE_ITEMS = 259;

// Enters (leaves) the calling thread into the component object model. Nothing
// here uses it, so only the count per thread is kept: the first call answers
// S_OK, further ones S_FALSE, as on Windows.
HRESULT WINAPI CoInitialize(LPVOID reserved);
void WINAPI CoUninitialize();

constexpr DWORD STARTF_USESHOWWINDOW = 0x00000001;
constexpr int SW_SHOWDEFAULT = 10;

struct STARTUPINFOA {
    DWORD cb;
    LPSTR lpReserved;
    LPSTR lpDesktop;
    LPSTR lpTitle;
    DWORD dwX;
    DWORD dwY;
    DWORD dwXSize;
    DWORD dwYSize;
    DWORD dwXCountChars;
    DWORD dwYCountChars;
    DWORD dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    LPBYTE lpReserved2;
    HANDLE hStdInput;
    HANDLE hStdOutput;
    HANDLE hStdError;
};
using LPSTARTUPINFOA = STARTUPINFOA*;

// A Linux program is started without a show state: dwFlags is 0.
void WINAPI GetStartupInfoA(LPSTARTUPINFOA startupInfo);

// The process's arguments as one Windows-style command line, made once: each
// argument in double quotes when it is empty or holds a space or a tab,
// joined by single spaces.
LPSTR WINAPI GetCommandLineA();

// A non-null handle standing for the program itself for a null name; other
// modules are not known (null, ERROR_MOD_NOT_FOUND).
HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName);

// Thread-local slots: an index shared by the process, a value per thread. A
// newly allocated slot reads null on every thread.
constexpr DWORD TLS_OUT_OF_INDEXES = 0xFFFFFFFF;
constexpr DWORD TLS_MINIMUM_AVAILABLE = 64;
DWORD WINAPI TlsAlloc();
BOOL WINAPI TlsFree(DWORD index);
LPVOID WINAPI TlsGetValue(DWORD index);
BOOL WINAPI TlsSetValue(DWORD index, LPVOID value);

// Fixed global memory only: the handle is the address of the block.
constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;
HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes);
HGLOBAL WINAPI GlobalFree(HGLOBAL memory);

// Flushes standard output and error and ends the process with exitCode
// (its low 8 bits, as Linux keeps them); atexit clean-up still runs.
[[noreturn]] void WINAPI ExitProcess(UINT exitCode);

#endif  // !_WIN32
