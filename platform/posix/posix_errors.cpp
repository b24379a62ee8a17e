#include "platform/posix/posix_errors.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// Whether the folder that would hold path exists. The path itself may be too
// long to copy on the stack, so the folder part is copied to the heap.
bool FolderOfPathExists(const char* path) noexcept {
    const char* slash = std::strrchr(path, '/');
    if (slash == nullptr) {
        return true;  // the current directory
    }
    std::size_t length = slash == path ? 1 : static_cast<std::size_t>(slash - path);
    char* folder = static_cast<char*>(std::malloc(length + 1));
    if (folder == nullptr) {
        return true;
    }
    std::memcpy(folder, path, length);
    folder[length] = 0;
    struct stat info {};
    bool exists = stat(folder, &info) == 0 && S_ISDIR(info.st_mode);
    std::free(folder);
    return exists;
}

}  // namespace

DWORD WindowsErrorFromErrno(int error, const char* path) noexcept {
    switch (error) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT:
            if (path != nullptr && !FolderOfPathExists(path)) {
                return ERROR_PATH_NOT_FOUND;
            }
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case ELOOP:
            return ERROR_CANT_RESOLVE_FILENAME;
        case EACCES:
        case EPERM:
        case EISDIR:
        case ENXIO:
            return ERROR_ACCESS_DENIED;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case EWOULDBLOCK:
        case ETXTBSY:
            return ERROR_SHARING_VIOLATION;
        case ENOLCK:
            return ERROR_LOCK_VIOLATION;
        case EROFS:
            return ERROR_WRITE_PROTECT;
        case EIO:
            return ERROR_GEN_FAILURE;
        case ENOSPC:
        case EDQUOT:
            return ERROR_DISK_FULL;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        case EINVAL:
        case EOVERFLOW:
        case EFBIG:
            return ERROR_INVALID_PARAMETER;
        case ESPIPE:
            return ERROR_SEEK;
        case EPIPE:
            return ERROR_BROKEN_PIPE;
        case ENODEV:
        case ENOMEDIUM:
            return ERROR_NOT_READY;
        default:
            return ERROR_INVALID_FUNCTION;
    }
}

void SetLastErrorFromErrno(int error, const char* path) noexcept {
    SetLastError(WindowsErrorFromErrno(error, path));
}
