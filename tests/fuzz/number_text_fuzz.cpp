// NumberToText of any 80-bit value with any count of digits, against the
// exact decimal expansion (glibc's printf gives it exactly). The 18 digits
// may differ from the exact ones only by the rounding of the scaling, which
// runs in extended precision; rounding to the count, trimming and layout
// must then follow the rules exactly. 32-bit integers must come out exact.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/number_text.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr std::uint64_t kTenTo17 = 100000000000000000ULL;
constexpr std::uint64_t kTenTo18 = 1000000000000000000ULL;
// The scaling by 10^t rounds at most 18 times (8 inexact powers of ten, 8
// of their products, the pre-step and the final step), each by at most
// 2^-64 of the value: under 10^-18 in all, less than one unit of the
// 18-digit integer, which so comes out one off at most.
constexpr std::int64_t kScalingTolerance = 1;
constexpr int kAllDigits = 18;

// 18 significant digits as an integer from 10^17 to 10^18 - 1, with the
// power of ten of the first.
struct Eighteen {
    std::uint64_t v;
    int k;
};

enum class Kind { kZero, kInfinity, kNumber };

struct Value {
    long double x;
    bool negative;
    Kind kind;
};

// The value from 10 bytes of the x87 extended format. Zero, denormals and
// NaNs read as zero; so do unnormals (no integer bit), which the x87 refuses.
Value ValueOf(const std::uint8_t raw[10]) {
    unsigned char bytes[sizeof(long double)] = {};
    std::memcpy(bytes, raw, 10);
    Value value{};
    std::memcpy(&value.x, bytes, sizeof value.x);
    std::uint64_t significand;
    std::memcpy(&significand, raw, sizeof significand);
    const int exponentField = (raw[8] | raw[9] << 8) & 0x7FFF;
    value.negative = (raw[9] & 0x80) != 0;
    if (exponentField == 0x7FFF) {
        value.kind = (significand >> 48) == 0x8000 ? Kind::kInfinity : Kind::kZero;
    } else {
        value.kind = exponentField == 0 || (significand >> 63) == 0 ? Kind::kZero : Kind::kNumber;
    }
    return value;
}

// magnitude as d.ddd...e+x with precision digits after the point.
std::string Scientific(long double magnitude, int precision) {
    const int length = std::snprintf(nullptr, 0, "%.*Le", precision, magnitude);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::snprintf(text.data(), text.size(), "%.*Le", precision, magnitude);
    text.resize(static_cast<std::size_t>(length));
    return text;
}

// The exact first 18 digits of magnitude, rounded half to even on all the
// digits after them.
Eighteen ExactEighteen(long double magnitude) {
    std::string text = Scientific(magnitude, 44);
    std::string digits = text.substr(0, 1) + text.substr(2, 44);
    if (digits[kAllDigits] == '5' &&
        digits.find_first_not_of('0', kAllDigits + 1) == std::string::npos) {
        // Perhaps a tie: every digit decides. No 80-bit value has more.
        text = Scientific(magnitude, 16500);
        digits = text.substr(0, 1) + text.substr(2, text.find('e') - 2);
    }
    Eighteen exact{std::stoull(digits.substr(0, kAllDigits)),
                   std::atoi(text.c_str() + text.find('e') + 1)};
    const char next = digits[kAllDigits];
    const bool beyondHalf = digits.find_first_not_of('0', kAllDigits + 1) != std::string::npos;
    if (next > '5' || (next == '5' && (beyondHalf || exact.v % 2 == 1))) {
        if (++exact.v == kTenTo18) {
            exact = {kTenTo17, exact.k + 1};
        }
    }
    return exact;
}

// Every 18 digits the scaling may give for the exact ones.
std::vector<Eighteen> Candidates(const Eighteen& exact) {
    std::vector<Eighteen> candidates{exact};
    for (std::int64_t d = 1; d <= kScalingTolerance; ++d) {
        for (const std::int64_t offset : {d, -d}) {
            const std::uint64_t v = exact.v + static_cast<std::uint64_t>(offset);
            if (v >= kTenTo18) {
                candidates.push_back({kTenTo17, exact.k + 1});
            } else if (v < kTenTo17) {
                // Just below a power of ten: the digits go one place down.
                for (std::uint64_t j = 1; j <= 10 * kScalingTolerance; ++j) {
                    candidates.push_back({kTenTo18 - j, exact.k - 1});
                }
            } else {
                candidates.push_back({v, exact.k});
            }
        }
    }
    return candidates;
}

std::uint64_t PowerOfTen(int n) {
    std::uint64_t power = 1;
    while (n-- > 0) {
        power *= 10;
    }
    return power;
}

// The kept digits (no trailing zero) with the point position p, laid out
// for a count of n.
std::string Layout(const std::string& kept, int p, int n) {
    const int m = static_cast<int>(kept.size());
    if (p > n || m - p > n) {
        const int exponent = p - 1;
        return kept.substr(0, 1) + (m > 1 ? "." + kept.substr(1) : "") + "E" +
               (exponent < 0 ? "-" : "+") + std::to_string(std::abs(exponent));
    }
    if (p >= m) {
        return kept + std::string(static_cast<std::size_t>(p - m), '0');
    }
    if (p > 0) {
        return kept.substr(0, static_cast<std::size_t>(p)) + "." +
               kept.substr(static_cast<std::size_t>(p));
    }
    return "." + std::string(static_cast<std::size_t>(-p), '0') + kept;
}

// The text of a finite number's 18 digits with n significant digits: the
// digit after the n-th alone decides the rounding, a 5 rounding to even.
std::string ModelText(const Eighteen& digits, int n) {
    std::uint64_t q = digits.v / PowerOfTen(kAllDigits - n);
    int p = digits.k + 1;
    const std::uint64_t next = n < kAllDigits ? digits.v / PowerOfTen(kAllDigits - n - 1) % 10 : 0;
    if (next > 5 || (next == 5 && q % 2 == 1)) {
        if (++q == PowerOfTen(n)) {
            q /= 10;
            ++p;
        }
    }
    std::string kept = std::to_string(q);
    kept.erase(kept.find_last_not_of('0') + 1);
    return Layout(kept, p, n);
}

int EffectiveCount(std::int32_t count) {
    return count >= 1 && count <= 17 ? count : kAllDigits;
}

std::string Signed(bool negative, const std::string& text) {
    return (negative ? "-" : " ") + text;
}

void Expect(const std::string& got, const std::string& expected, long double x, int count) {
    if (got != expected) {
        char value[64];
        std::snprintf(value, sizeof value, "%.21Lg", x);
        FuzzFail(std::string(value) + " with " + std::to_string(count) + " digits gave \"" + got +
                 "\", not \"" + expected + "\"");
    }
}

// The candidate the 18-digit text shows: the exact digits or a neighbour
// within the scaling's reach.
Eighteen ShownDigits(const Value& value) {
    const std::string shown = NumberToText(value.x, kAllDigits).ToStdString();
    const Eighteen exact = ExactEighteen(value.negative ? -value.x : value.x);
    for (const Eighteen& candidate : Candidates(exact)) {
        if (shown == Signed(value.negative, ModelText(candidate, kAllDigits))) {
            return candidate;
        }
    }
    Expect(shown, Signed(value.negative, ModelText(exact, kAllDigits)), value.x, kAllDigits);
    return exact;
}

// 32-bit integers, the only numbers the program shows, are exact.
void CheckInteger(const std::uint8_t raw[10]) {
    std::int32_t integer;
    std::memcpy(&integer, raw, sizeof integer);
    const std::string expected = (integer < 0 ? "" : " ") + std::to_string(integer);
    Expect(NumberToText(static_cast<long double>(integer)).ToStdString(), expected, integer, 15);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::uint8_t raw[10] = {};
    std::memcpy(raw, data, size < sizeof raw ? size : sizeof raw);
    CheckInteger(raw);
    const Value value = ValueOf(raw);
    const std::int32_t given = size > sizeof raw ? static_cast<std::int8_t>(data[sizeof raw]) : 3;
    const Eighteen digits = value.kind == Kind::kNumber ? ShownDigits(value) : Eighteen{};
    for (const std::int32_t count : {given, 15, 7, 1, 17, 0}) {
        const int n = EffectiveCount(count);
        std::string expected = " 0";
        if (value.kind == Kind::kInfinity) {
            expected = Signed(value.negative, Layout(std::string(n, '9'), 999, n));
        } else if (value.kind == Kind::kNumber) {
            expected = Signed(value.negative, ModelText(digits, n));
        }
        Expect(NumberToText(value.x, count).ToStdString(), expected, value.x, count);
    }
    Expect(NumberToText(value.x).ToStdString(), NumberToText(value.x, 15).ToStdString(), value.x,
           15);
    Expect(NumberToTextSevenDigits(value.x).ToStdString(), NumberToText(value.x, 7).ToStdString(),
           value.x, 7);
    return 0;
}
