// The engine's dealings with the file system, one file per platform
// (native_file_posix.cpp, native_file_win32.cpp): the spool's temporary file,
// and the PDF written under no name or a hidden one until it is complete and
// then given its own, never over another file. Paths are UTF-8; error codes
// are the system's own (errno, or the Windows last error).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pelm32::native {

// A descriptor or a handle; kNoFile for none.
using File = std::intptr_t;
constexpr File kNoFile = -1;

// The system's reason for an error code, as a phrase.
std::string ErrorText(int error);

// Where temporary files go: TMPDIR, else /tmp; on Windows the user's
// temporary folder.
std::string TemporaryFolder();
// A file for reading and writing that is gone once closed, however the
// process ends; kNoFile, with the reason in error, when none can be made.
File OpenTemporaryFile(const std::string& folder, int& error);
bool WriteAt(File file, const void* data, size_t size, uint64_t offset, int& error);
// False, with the reason in error, unless all size bytes were read.
bool ReadAt(File file, void* data, size_t size, uint64_t offset, int& error);
void Close(File file);

// The current folder, named in full.
std::string CurrentFolder();
// What joins a folder and a name.
char FolderSeparator();
// The longest name the folder takes, in bytes.
size_t NameLimit(const std::string& folder);
// Whether a byte can stand in a file name here (control bytes never can).
bool NameByteAllowed(char byte);
// Whether a name names a device rather than a file here, as "CON" or
// "NUL.txt" do on Windows.
bool NameReserved(const std::string& stem);

// The file a PDF is written to: under no name, or a hidden one, until
// GiveName; removed when it is destroyed without one.
class PartFile {
  public:
    explicit PartFile(const std::string& folder);
    ~PartFile();
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    // False once anything has failed; Error() then says what.
    bool Good() const { return file_ != kNoFile && error_ == 0; }
    int Error() const { return error_; }
    bool Write(const void* data, size_t size);
    // Everything written is on the disk.
    bool Sync();

    enum class Naming { Named, Taken, Failed };
    // Gives the file the name path unless something already has it; the
    // reason of a failure is in Error().
    Naming GiveName(const std::string& path);

  private:
    File file_ = kNoFile;
    std::string tempPath_;  // empty for a file without a name
    int error_ = 0;
};

}  // namespace pelm32::native
