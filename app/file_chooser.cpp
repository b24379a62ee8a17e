#include "app/file_chooser.h"

#include "platform/win32.h"
#include "runtime/error_numbers.h"
#include "runtime/floating_point.h"
#include "runtime/text_file_input.h"
#include "runtime/text_operations.h"

namespace {
constexpr std::int32_t kPathBufferSize = 260;
constexpr std::int32_t kExtensionBufferSize = 256;
}  // namespace

std::int32_t ChooseFileToOpen(HWND owner, const DynamicString& title, DynamicString& path,
                              const DynamicString& initialDirectory,
                              const DynamicString& filterText,
                              const DynamicString& defaultExtension, std::uint32_t& flags) {
    ErrorSlot errors;
    // Each "|" becomes a zero byte: the platform's list of zero-terminated
    // descriptions and patterns, closed by the string's two ending zeros.
    DynamicString filter = ReplaceAll(filterText, DynamicString("|"), DynamicString("\0", 1));
    DynamicString directory =
        initialDirectory.IsEmpty() ? CurrentDirectory(DynamicString()) : initialDirectory;

    char directoryBuffer[kPathBufferSize] = {};
    char fileBuffer[kPathBufferSize] = {};
    char fileTitleBuffer[kPathBufferSize] = {};
    char titleBuffer[kPathBufferSize] = {};
    char extensionBuffer[kExtensionBufferSize] = {};
    CopyToFixedBuffer(directory, directoryBuffer, kPathBufferSize);
    CopyToFixedBuffer(path, fileBuffer, kPathBufferSize);
    CopyToFixedBuffer(defaultExtension, extensionBuffer, kExtensionBufferSize);
    CopyToFixedBuffer(title, titleBuffer, kPathBufferSize);

    OPENFILENAMEA request = {};
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    request.hwndOwner = owner;
    request.lpstrFilter = TextAddress(filter);
    request.nFilterIndex = 1;
    request.lpstrFile = fileBuffer;
    request.nMaxFile = kPathBufferSize;
    request.lpstrFileTitle = fileTitleBuffer;
    request.nMaxFileTitle = kPathBufferSize;
    request.lpstrInitialDir = directoryBuffer;
    // No title: the platform's default one shows.
    request.lpstrTitle = TextLength(TextFromBuffer(titleBuffer)) != 0 ? titleBuffer : nullptr;
    request.Flags = flags;
    request.lpstrDefExt = extensionBuffer;

    std::int32_t result = GetOpenFileNameA(&request);
    SetFloatingPointSettings();
    path = TextFromBuffer(fileBuffer);
    flags = request.Flags;
    return result;
}
