// The Windows file, directory and error-mode calls of the run time, with
// their Windows names, argument orders and values.
//
// On Linux they stand on POSIX and answer with Windows error codes through
// GetLastError, so the run time maps failures from one table everywhere. Only
// what the run time calls is provided:
// - CreateFileA opens existing files only (OPEN_EXISTING) and never creates
//   one. Share mode 0 holds an exclusive flock until CloseHandle, so a file
//   another holder has locked fails with ERROR_SHARING_VIOLATION; any other
//   share mode holds a shared flock. A folder fails with ERROR_ACCESS_DENIED.
//   Opening a pipe or device never waits. ReadFile on one waits until it has
//   data and gives what it has, up to the bytes asked for; a pipe whose
//   writers have all closed fails with ERROR_BROKEN_PIPE, as on Windows, and
//   a device at its end gives 0 bytes.
// - ReadFile on a disk file whose share mode leaves out FILE_SHARE_WRITE
//   serves small reads from a block read ahead, as the system's file cache
//   would; what it gives is what a read made then would have given.
// - The folder separator is "/"; "\" and ":" are ordinary name characters.
// - Directory search patterns know "*" and "?" (nothing else is special) in
//   the last path element; a pattern ending in ".*" also matches the names
//   without it, so "*.*" matches every name. Names starting with "." are
//   hidden; entries that are neither regular files nor folders are system
//   entries. Matches come in byte order of their names.
#pragma once

// On Windows the system's own declarations stand in for these.
#if defined(_WIN32)
#include "platform/win32.h"
#else

#include "platform/win32_base.h"

struct OVERLAPPED;
using LPOVERLAPPED = OVERLAPPED*;
struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

constexpr DWORD MAX_PATH = 260;

struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    CHAR cFileName[MAX_PATH];
    CHAR cAlternateFileName[14];
};
using LPWIN32_FIND_DATAA = WIN32_FIND_DATAA*;

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;

constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;

constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x02;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x04;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

constexpr DWORD FILE_TYPE_UNKNOWN = 0;
constexpr DWORD FILE_TYPE_DISK = 1;
constexpr DWORD FILE_TYPE_CHAR = 2;
constexpr DWORD FILE_TYPE_PIPE = 3;

constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;

constexpr UINT SEM_FAILCRITICALERRORS = 0x0001;
constexpr UINT SEM_NOOPENFILEERRORBOX = 0x8000;

HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                          LPSECURITY_ATTRIBUTES securityAttributes, DWORD creationDisposition,
                          DWORD flagsAndAttributes, HANDLE templateFile);
DWORD WINAPI GetFileType(HANDLE file);
DWORD WINAPI SetFilePointer(HANDLE file, LONG distanceToMove, PLONG distanceToMoveHigh,
                            DWORD moveMethod);
BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD numberOfBytesToRead,
                     LPDWORD numberOfBytesRead, LPOVERLAPPED overlapped);
BOOL WINAPI CloseHandle(HANDLE object);

HANDLE WINAPI FindFirstFileA(LPCSTR fileName, LPWIN32_FIND_DATAA findFileData);
BOOL WINAPI FindNextFileA(HANDLE findFile, LPWIN32_FIND_DATAA findFileData);
BOOL WINAPI FindClose(HANDLE findFile);

DWORD WINAPI GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer);
BOOL WINAPI SetCurrentDirectoryA(LPCSTR pathName);

// Kept and handed back; this system shows no error dialogs of its own anyway.
UINT WINAPI SetErrorMode(UINT mode);

#endif  // !_WIN32
