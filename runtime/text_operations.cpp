#include "runtime/text_operations.h"

#include <cstring>
#include <string_view>
#include <utility>

#include "runtime/error_numbers.h"

namespace {
constexpr std::size_t kMaxBufferText = std::size_t{1} << 24;
constexpr char kSpace = ' ';
}  // namespace

DynamicString Concatenate(const DynamicString& a, const DynamicString& b) {
    DynamicString result =
        DynamicString::OfLength(static_cast<std::int64_t>(a.Length()) + b.Length());
    if (result.IsEmpty()) {
        return result;
    }
    char* out = result.MutableData();
    if (!a.IsEmpty()) {
        std::memcpy(out, a.Data(), static_cast<std::size_t>(a.Length()));
    }
    if (!b.IsEmpty()) {
        std::memcpy(out + a.Length(), b.Data(), static_cast<std::size_t>(b.Length()));
    }
    return result;
}

int CompareText(const DynamicString& a, const DynamicString& b) noexcept {
    std::int32_t common = a.Length() < b.Length() ? a.Length() : b.Length();
    for (std::int32_t i = 0; i < common; ++i) {
        if (a.ByteAt(i) != b.ByteAt(i)) {
            return a.ByteAt(i) < b.ByteAt(i) ? -1 : 1;
        }
    }
    if (a.Length() == b.Length()) {
        return 0;
    }
    return a.Length() < b.Length() ? -1 : 1;
}

DynamicString TrimLeadingSpaces(DynamicString s) {
    std::int32_t first = 0;
    while (first < s.Length() && s.Data()[first] == kSpace) {
        ++first;
    }
    if (first == 0) {
        return s;
    }
    return DynamicString(s.Data() + first, s.Length() - first);
}

DynamicString TrimTrailingSpaces(DynamicString s) {
    std::int32_t end = s.Length();
    while (end > 0 && s.Data()[end - 1] == kSpace) {
        --end;
    }
    if (end == s.Length()) {
        return s;
    }
    return DynamicString(s.Data(), end);
}

std::int32_t TextLength(const DynamicString& s) noexcept {
    return s.Length();
}

DynamicString ReplaceAll(const DynamicString& s, const DynamicString& find,
                         const DynamicString& replacement) {
    if (find.IsEmpty() || s.Length() < find.Length()) {
        return s;
    }
    const std::string_view text = s.View();
    const std::string_view pattern = find.View();

    std::int64_t matches = 0;
    for (auto at = text.find(pattern); at != std::string_view::npos;
         at = text.find(pattern, at + pattern.size())) {
        ++matches;
    }
    if (matches == 0) {
        return s;
    }

    const std::int64_t length =
        static_cast<std::int64_t>(s.Length()) +
        (static_cast<std::int64_t>(replacement.Length()) - find.Length()) * matches;
    if (length > DynamicString::kMaxLength) {
        RecordErrorNumber(kBadArgument);
        return DynamicString();
    }
    DynamicString result = DynamicString::OfLength(length);
    if (result.IsEmpty()) {
        // Either every byte was replaced by nothing, or the memory was refused
        // (error 7 is then recorded by the string itself).
        return result;
    }

    char* out = result.MutableData();
    std::size_t from = 0;
    for (auto at = text.find(pattern); at != std::string_view::npos;
         at = text.find(pattern, from)) {
        std::memcpy(out, text.data() + from, at - from);
        out += at - from;
        if (!replacement.IsEmpty()) {
            std::memcpy(out, replacement.Data(), static_cast<std::size_t>(replacement.Length()));
            out += replacement.Length();
        }
        from = at + pattern.size();
    }
    std::memcpy(out, text.data() + from, text.size() - from);
    return result;
}

void CopyToFixedBuffer(const DynamicString& s, char* buffer, std::int32_t size) noexcept {
    if (buffer == nullptr || size <= 0) {
        return;
    }
    const std::int32_t limit = s.Length() < size - 1 ? s.Length() : size - 1;
    std::int32_t copied = 0;
    while (copied < limit) {
        const char byte = s.Data()[copied];
        buffer[copied++] = byte;
        if (byte == 0) {
            return;
        }
    }
    buffer[copied] = 0;
}

DynamicString TextFromBuffer(const char* address) {
    if (address == nullptr) {
        return DynamicString();
    }
    return DynamicString(address, static_cast<std::int64_t>(strnlen(address, kMaxBufferText)));
}

const char* TextAddress(const DynamicString& s) noexcept {
    static const char kEmptyText[1] = {0};
    return s.IsEmpty() ? kEmptyText : s.Data();
}
