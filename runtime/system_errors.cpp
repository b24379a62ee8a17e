#include "runtime/system_errors.h"

namespace {

constexpr std::uint32_t kDiskFull = 112;  // ERROR_DISK_FULL shares the disk-full entry
constexpr std::uint32_t kDiskFullIndex = 39;
constexpr std::uint32_t kOtherIndex = 40;

// Indexed by the Windows error code below 40; see MapSystemError for the rest.
constexpr std::uint8_t kSystemErrorTable[41] = {
    0,    // 0 no error
    75,   // 1 invalid function
    53,   // 2 file not found
    76,   // 3 path not found
    67,   // 4 too many open files
    70,   // 5 access denied
    51,   // 6 invalid handle
    241,  // 7 arena trashed
    7,    // 8 not enough memory
    241,  // 9 invalid block
    241,  // 10 bad environment
    51,   // 11 bad format
    51,   // 12 invalid access
    51,   // 13 invalid data
    7,    // 14 out of memory
    68,   // 15 invalid drive
    75,   // 16 current directory
    74,   // 17 not same device
    53,   // 18 no more files
    70,   // 19 write protect
    68,   // 20 bad unit
    71,   // 21 not ready
    51,   // 22 bad command
    72,   // 23 CRC
    51,   // 24 bad length
    72,   // 25 seek
    72,   // 26 not DOS disk
    72,   // 27 sector not found
    72,   // 28 out of paper
    72,   // 29 write fault
    72,   // 30 read fault
    72,   // 31 general failure
    70,   // 32 sharing violation
    70,   // 33 lock violation
    72,   // 34 wrong disk
    75,   // 35
    70,   // 36 sharing buffer exceeded
    75,   // 37
    62,   // 38 end of file
    61,   // 39 disk full
    75,   // 40 every other code
};

}  // namespace

std::int32_t MapSystemError(std::uint32_t windowsError) noexcept {
    std::uint32_t index = windowsError < kOtherIndex  ? windowsError
                          : windowsError == kDiskFull ? kDiskFullIndex
                                                      : kOtherIndex;
    return kSystemErrorTable[index];
}
