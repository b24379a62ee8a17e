// The dynamic string: a counted byte string of 0 to 2,147,483,647 bytes with
// value semantics. Any byte may occur, zero included. A non-empty string keeps
// two zero bytes after its last byte, outside its length, so its address is
// also a zero-terminated text. The empty string owns no storage.
//
// Allocation never throws: a string that cannot get its memory records
// run-time error number 7 and is empty.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class DynamicString {
  public:
    static constexpr std::int32_t kMaxLength = 2147483647;

    DynamicString() noexcept = default;
    // A literal or zero-terminated text; the null address gives the empty string.
    DynamicString(const char* text);  // NOLINT(google-explicit-constructor)
    DynamicString(const char* bytes, std::int64_t length);
    explicit DynamicString(std::string_view bytes);

    DynamicString(const DynamicString& other);
    DynamicString(DynamicString&& other) noexcept;
    DynamicString& operator=(const DynamicString& other);
    DynamicString& operator=(DynamicString&& other) noexcept;
    ~DynamicString();

    // A string of length bytes whose contents the caller fills in through
    // MutableData(); empty (with error 7 or 5 recorded) when it cannot be made.
    static DynamicString OfLength(std::int64_t length);

    std::int32_t Length() const noexcept { return length_; }
    bool IsEmpty() const noexcept { return length_ == 0; }
    // The first byte, or the null address for the empty string.
    const char* Data() const noexcept { return bytes_; }
    char* MutableData() noexcept { return bytes_; }
    std::string_view View() const noexcept {
        return bytes_ ? std::string_view(bytes_, static_cast<std::size_t>(length_))
                      : std::string_view();
    }
    std::string ToStdString() const { return std::string(View()); }
    unsigned char ByteAt(std::int32_t index) const noexcept {
        return static_cast<unsigned char>(bytes_[index]);
    }

    // Appends bytes in place; returns false (string unchanged, error 7
    // recorded) when the memory cannot be had or the length would pass the limit.
    bool Append(const char* bytes, std::int64_t count);

    friend bool operator==(const DynamicString& a, const DynamicString& b) noexcept {
        return a.View() == b.View();
    }

  private:
    bool Allocate(std::int64_t length);
    void Release() noexcept;

    char* bytes_ = nullptr;
    std::int32_t length_ = 0;
};

// How a dynamic string reaches an outside call: the address of a
// zero-terminated temporary copy, released when this object goes, or the
// null address for an empty string.
class CallText {
  public:
    explicit CallText(const DynamicString& text);
    ~CallText();
    CallText(const CallText&) = delete;
    CallText& operator=(const CallText&) = delete;

    const char* Get() const noexcept { return copy_; }
    operator const char*() const noexcept { return copy_; }  // NOLINT

  private:
    char* copy_ = nullptr;
};
