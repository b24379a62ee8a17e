#include "runtime/dynamic_string.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#include "runtime/error_numbers.h"

namespace {
constexpr std::size_t kTrailingZeros = 2;
}  // namespace

bool DynamicString::Allocate(std::int64_t length) {
    if (length <= 0) {
        if (length < 0) {
            RecordErrorNumber(kOutOfMemory);
        }
        return false;
    }
    if (length > kMaxLength) {
        RecordErrorNumber(kOutOfMemory);
        return false;
    }
    auto* bytes =
        static_cast<char*>(std::malloc(static_cast<std::size_t>(length) + kTrailingZeros));
    if (bytes == nullptr) {
        RecordErrorNumber(kOutOfMemory);
        return false;
    }
    bytes[length] = 0;
    bytes[length + 1] = 0;
    bytes_ = bytes;
    length_ = static_cast<std::int32_t>(length);
    return true;
}

void DynamicString::Release() noexcept {
    std::free(bytes_);
    bytes_ = nullptr;
    length_ = 0;
}

DynamicString::DynamicString(const char* text)
    : DynamicString(text, text ? static_cast<std::int64_t>(std::strlen(text)) : 0) {}

DynamicString::DynamicString(const char* bytes, std::int64_t length) {
    if (bytes != nullptr && Allocate(length)) {
        std::memcpy(bytes_, bytes, static_cast<std::size_t>(length));
    }
}

DynamicString::DynamicString(std::string_view bytes)
    : DynamicString(bytes.data(), static_cast<std::int64_t>(bytes.size())) {}

DynamicString::DynamicString(const DynamicString& other)
    : DynamicString(other.bytes_, other.length_) {}

DynamicString::DynamicString(DynamicString&& other) noexcept
    : bytes_(std::exchange(other.bytes_, nullptr)), length_(std::exchange(other.length_, 0)) {}

DynamicString& DynamicString::operator=(const DynamicString& other) {
    if (this != &other) {
        DynamicString copy(other);
        *this = std::move(copy);
    }
    return *this;
}

DynamicString& DynamicString::operator=(DynamicString&& other) noexcept {
    if (this != &other) {
        Release();
        bytes_ = std::exchange(other.bytes_, nullptr);
        length_ = std::exchange(other.length_, 0);
    }
    return *this;
}

DynamicString::~DynamicString() {
    Release();
}

DynamicString DynamicString::OfLength(std::int64_t length) {
    DynamicString result;
    if (result.Allocate(length)) {
        std::memset(result.bytes_, 0, static_cast<std::size_t>(length));
    }
    return result;
}

bool DynamicString::Append(const char* bytes, std::int64_t count) {
    if (count <= 0) {
        return true;
    }
    std::int64_t newLength = static_cast<std::int64_t>(length_) + count;
    if (newLength > kMaxLength) {
        RecordErrorNumber(kOutOfMemory);
        return false;
    }
    // realloc grows large blocks in place where it can, so a long line costs
    // no copy per piece, and the string never holds more than its bytes.
    auto* grown = static_cast<char*>(
        std::realloc(bytes_, static_cast<std::size_t>(newLength) + kTrailingZeros));
    if (grown == nullptr) {
        RecordErrorNumber(kOutOfMemory);
        return false;
    }
    std::memcpy(grown + length_, bytes, static_cast<std::size_t>(count));
    grown[newLength] = 0;
    grown[newLength + 1] = 0;
    bytes_ = grown;
    length_ = static_cast<std::int32_t>(newLength);
    return true;
}

CallText::CallText(const DynamicString& text) {
    if (text.IsEmpty()) {
        return;
    }
    auto length = static_cast<std::size_t>(text.Length());
    copy_ = static_cast<char*>(std::malloc(length + 1));
    if (copy_ != nullptr) {
        std::memcpy(copy_, text.Data(), length);
        copy_[length] = 0;
    } else {
        RecordErrorNumber(kOutOfMemory);
    }
}

CallText::~CallText() {
    std::free(copy_);
}
