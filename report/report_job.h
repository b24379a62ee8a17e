// Prints one text file as a paginated report through the print engine.
#pragma once

#include <cstdint>

#include "runtime/dynamic_string.h"

// Starts an engine document, draws every line of the file at path with the
// page furniture on each page, ends with the end line and hands the document
// to the engine. Returns 0 when done, -1 when the engine refused the
// document, or the run-time error number of a failed open of the file; both
// failures are shown in a message box.
std::int32_t PrintReportFile(const DynamicString& path);
