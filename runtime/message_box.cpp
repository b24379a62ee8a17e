#include "runtime/message_box.h"

#include "platform/win32.h"
#include "runtime/floating_point.h"
#include "runtime/message_box_seam.h"
#include "runtime/text_operations.h"

namespace {
constexpr const char* kDefaultCaption = "Tarnwick";
constexpr DWORD kDelayBeforeBox = 5;  // milliseconds
}  // namespace

std::int32_t ShowMessageBox(const DynamicString& text, const DynamicString& title,
                            std::uint32_t style) {
    const char* caption = title.IsEmpty() ? kDefaultCaption : TextAddress(title);
    std::int32_t answer = 0;
    {
        // The platform runs with the processor's defaults; the program's own
        // state, whatever it is, comes back afterwards.
        SavedFloatingPointState saved;
        SetDefaultFloatingPointState();
        Sleep(kDelayBeforeBox);
        // An empty text still goes as a text, never as the null address.
        answer = MessageBoxThroughSeam(nullptr, TextAddress(text), caption, style);
    }
    return answer;
}
