// Sequential text file input under file numbers, and two directory queries.
// Failures record run-time error numbers in the calling procedure.
#pragma once

#include <cstdint>

#include "runtime/dynamic_string.h"

// A file number from 1 to 32767 that is not open at the moment of the call.
std::int32_t NextFreeFileNumber();

// Opens path for input under fileNumber: read-only, exclusive, 128-byte blocks.
void OpenForInput(const DynamicString& path, std::int32_t fileNumber);

// -1 when the file has no more text to give, else 0.
std::int32_t AtEndOfFile(std::int32_t fileNumber);

// The next line, without its line end (CR or CR LF).
DynamicString ReadLine(std::int32_t fileNumber);

// Closes the file; a number that is not open is left alone.
void CloseFile(std::int32_t fileNumber);

// The bare name of the first directory entry matching pattern that the
// attribute mask admits, or the empty string. An empty pattern continues the
// previous search.
DynamicString FirstDirectoryMatch(const DynamicString& pattern, std::int32_t attributeMask);

// The current directory (the program always passes an empty drive).
DynamicString CurrentDirectory(const DynamicString& drive);
