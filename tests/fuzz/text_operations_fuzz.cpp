// The dynamic string and the text operations on any bytes, against
// std::string as the model: contents, the two zero bytes after a non-empty
// string, no storage for an empty one, and a fixed buffer written no
// further than its rules allow.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/dynamic_string.h"
#include "runtime/error_numbers.h"
#include "runtime/text_operations.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr char kUntouched = '\x5A';

void Check(bool holds, const char* what) {
    if (!holds) {
        FuzzFail(what);
    }
}

void CheckString(const DynamicString& s, std::string_view model, const char* what) {
    Check(s.View() == model && s.Length() == static_cast<std::int32_t>(model.size()), what);
    if (model.empty()) {
        Check(s.IsEmpty() && s.Data() == nullptr, "an empty string owns storage");
    } else {
        Check(s.Data()[model.size()] == 0 && s.Data()[model.size() + 1] == 0,
              "no two zero bytes after the last byte");
    }
}

DynamicString Bytes(std::string_view bytes) {
    return DynamicString(bytes.data(), static_cast<std::int64_t>(bytes.size()));
}

int Sign(int value) {
    return (value > 0) - (value < 0);
}

int ModelCompare(std::string_view a, std::string_view b) {
    const auto unsignedLess = [](char x, char y) {
        return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    };
    if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), unsignedLess)) {
        return -1;
    }
    return std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), unsignedLess) ? 1
                                                                                              : 0;
}

std::string ModelReplaceAll(std::string_view s, std::string_view find, std::string_view with) {
    if (find.empty()) {
        return std::string(s);
    }
    std::string out;
    std::size_t at = 0;
    for (std::size_t hit; (hit = s.find(find, at)) != std::string_view::npos;
         at = hit + find.size()) {
        out.append(s.substr(at, hit - at)).append(with);
    }
    return out.append(s.substr(at));
}

// At most size - 1 bytes up to the first zero, then a zero; nothing more.
std::vector<char> ModelFixedBuffer(std::string_view s, int size) {
    std::vector<char> buffer(static_cast<std::size_t>(std::max(size, 1)), kUntouched);
    if (size > 0) {
        const std::string_view taken = s.substr(0, static_cast<std::size_t>(size - 1));
        const std::string_view text = taken.substr(0, taken.find('\0'));
        std::copy(text.begin(), text.end(), buffer.begin());
        buffer[text.size()] = 0;
    }
    return buffer;
}

void CheckValueSemantics(const DynamicString& a, std::string_view bytes, const DynamicString& b) {
    DynamicString copy(a);
    CheckString(copy, bytes, "copy");
    Check(a.IsEmpty() || copy.Data() != a.Data(), "a copy shares its bytes");
    copy = b;
    CheckString(copy, b.View(), "assignment");
    CheckString(a, bytes, "the original after its copy changed");
    DynamicString moved(std::move(copy));
    CheckString(moved, b.View(), "move");
    const std::string zeroTerminated(bytes);
    CheckString(DynamicString(zeroTerminated.c_str()), bytes.substr(0, bytes.find('\0')),
                "from a zero-terminated text");
}

void CheckJoining(const DynamicString& a, const DynamicString& b) {
    const std::string joined = std::string(a.View()).append(b.View());
    CheckString(Concatenate(a, b), joined, "Concatenate");
    DynamicString appended(a);
    Check(appended.Append(b.Data(), b.Length()), "Append failed");
    CheckString(appended, joined, "Append");
    Check(Sign(CompareText(a, b)) == ModelCompare(a.View(), b.View()), "CompareText");
    Check(TextLength(a) == a.Length(), "TextLength");
}

void CheckTrims(const DynamicString& a) {
    const std::string_view bytes = a.View();
    const std::size_t first = std::min(bytes.find_first_not_of(' '), bytes.size());
    const std::size_t last = bytes.find_last_not_of(' ');
    for (const bool leading : {true, false}) {
        DynamicString input(a);
        const char* before = input.Data();
        const DynamicString trimmed =
            leading ? TrimLeadingSpaces(std::move(input)) : TrimTrailingSpaces(std::move(input));
        const std::string_view model =
            leading ? bytes.substr(first) : bytes.substr(0, last == bytes.npos ? 0 : last + 1);
        CheckString(trimmed, model, leading ? "TrimLeadingSpaces" : "TrimTrailingSpaces");
        Check(model.size() != bytes.size() || trimmed.Data() == before,
              "a trim that removes nothing made a copy");
    }
}

void CheckBuffers(const DynamicString& a, int size) {
    std::vector<char> buffer(static_cast<std::size_t>(std::max(size, 1)), kUntouched);
    CopyToFixedBuffer(a, buffer.data(), size);
    Check(buffer == ModelFixedBuffer(a.View(), size), "CopyToFixedBuffer");

    const std::string zeroTerminated(a.View());
    CheckString(TextFromBuffer(zeroTerminated.c_str()), a.View().substr(0, a.View().find('\0')),
                "TextFromBuffer");
    CheckString(TextFromBuffer(nullptr), "", "TextFromBuffer of the null address");

    const char* address = TextAddress(a);
    Check(address != nullptr && (a.IsEmpty() ? *address == 0 : address == a.Data()), "TextAddress");
    const CallText callText(a);
    Check(a.IsEmpty() ? callText.Get() == nullptr
                      : callText.Get() != a.Data() &&
                            std::memcmp(callText.Get(), a.Data(), a.View().size() + 1) == 0,
          "CallText");
}

}  // namespace

// The first byte is the fixed buffer's size (-128 to 127), the next two
// split the rest into the three strings a, b and c.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    const int bufferSize = static_cast<std::int8_t>(data[0]);
    const std::string_view rest(reinterpret_cast<const char*>(data) + 3, size - 3);
    const std::size_t cutA = data[1] % (rest.size() + 1);
    const std::size_t cutB = cutA + data[2] % (rest.size() - cutA + 1);
    const std::string_view bytesA = rest.substr(0, cutA);
    const std::string_view bytesB = rest.substr(cutA, cutB - cutA);
    const std::string_view bytesC = rest.substr(cutB);

    ErrorSlot slot;
    const DynamicString a = Bytes(bytesA);
    const DynamicString b = Bytes(bytesB);
    const DynamicString c = Bytes(bytesC);
    CheckString(a, bytesA, "from bytes");
    CheckValueSemantics(a, bytesA, b);
    CheckJoining(a, b);
    CheckTrims(a);
    CheckString(ReplaceAll(a, b, c), ModelReplaceAll(bytesA, bytesB, bytesC), "ReplaceAll");
    CheckBuffers(a, bufferSize);
    Check(ReadAndClearErrorNumber() == 0, "an error number was recorded");
    return 0;
}
