#include "runtime/number_text.h"

#include <cfloat>
#include <cmath>
#include <cstring>

#include "runtime/floating_point.h"

// The conversion reads sign, exponent and significand straight from the bits
// of the 80-bit extended format.
static_assert(LDBL_MANT_DIG == 64 && LDBL_MAX_EXP == 16384,
              "NumberToText needs the x87 extended format for long double");

namespace {
constexpr int kBufferSize = 32;
constexpr int kFullDigits = 18;
constexpr int kSystemDigits = 15;
constexpr int kShortDigits = 7;
constexpr int kExponentBias = 16383;
constexpr std::uint16_t kExponentAllOnes = 0x7FFF;
constexpr std::uint16_t kInfinityTopBits = 0x8000;
constexpr int kInfinityPointPosition = 999;
constexpr std::uint64_t kLowestEighteenDigits = 100000000000000000ULL;  // 10^17
constexpr std::uint64_t kNineteenDigits = 1000000000000000000ULL;       // 10^18

// 19728 / 65536 stands for log10(2); the estimate is at most one off.
constexpr int kLog10Of2Numerator = 19728;
constexpr int kLog10Of2Shift = 16;

constexpr int kPreStepPower = 4096;
constexpr long double kPreStepFactor = 1e4096L;
constexpr long double kSmallPowers[8] = {1.0L,     10.0L,     100.0L,     1000.0L,
                                         10000.0L, 100000.0L, 1000000.0L, 10000000.0L};
// Bit i of |t| div 8 selects 10^(8 * 2^i).
constexpr long double kLargePowers[9] = {1e8L,   1e16L,  1e32L,   1e64L,  1e128L,
                                         1e256L, 1e512L, 1e1024L, 1e2048L};

struct Decoded {
    bool negative;
    std::uint16_t exponentField;
    std::uint64_t significand;
};

Decoded Decode(long double x) {
    unsigned char raw[sizeof x];
    std::memcpy(raw, &x, sizeof x);
    Decoded decoded{};
    std::memcpy(&decoded.significand, raw, sizeof decoded.significand);
    std::uint16_t signAndExponent = 0;
    std::memcpy(&signAndExponent, raw + sizeof decoded.significand, sizeof signAndExponent);
    decoded.negative = (signAndExponent & 0x8000) != 0;
    decoded.exponentField = signAndExponent & kExponentAllOnes;
    return decoded;
}

// |x| * 10^t, rounded to an integer with ties to even. The factor is built
// first and applied once; the pre-step keeps it inside the table's range.
std::uint64_t ScaledAndRounded(long double magnitude, int t) {
    // The table reaches 10^4095 only, so a t of exactly +-4096 takes the
    // pre-step as well.
    if (t >= kPreStepPower) {
        magnitude *= kPreStepFactor;
        t -= kPreStepPower;
    } else if (t <= -kPreStepPower) {
        magnitude /= kPreStepFactor;
        t += kPreStepPower;
    }
    const unsigned power = static_cast<unsigned>(t < 0 ? -t : t);
    long double factor = kSmallPowers[power % 8];
    const unsigned selectors = power / 8;
    for (unsigned bit = 0; bit < 9; ++bit) {
        if ((selectors >> bit) & 1u) {
            factor *= kLargePowers[bit];
        }
    }
    const long double scaled = t >= 0 ? magnitude * factor : magnitude / factor;
    // Below 10^19 here, so the integer fits an unsigned 64-bit value exactly.
    return static_cast<std::uint64_t>(std::rint(scaled));
}

std::uint64_t DividedByTenTiesToEven(std::uint64_t v) {
    std::uint64_t quotient = v / 10;
    const std::uint64_t remainder = v % 10;
    if (remainder > 5 || (remainder == 5 && (quotient & 1u) != 0)) {
        ++quotient;
    }
    return quotient;
}

// The significant digits of a finite non-zero number, with the number of
// digits before the decimal point.
struct Digits {
    char digit[kFullDigits];
    int pointPosition;
};

Digits EighteenDigits(long double magnitude, int binaryExponent) {
    int k = (binaryExponent * kLog10Of2Numerator) >> kLog10Of2Shift;  // floor, also below 0
    std::uint64_t v = ScaledAndRounded(magnitude, 17 - k);
    if (v >= kNineteenDigits) {
        v = DividedByTenTiesToEven(v);
        ++k;
    }
    // The second scaling cannot reach 10^18: the first one fell short of
    // 10^17 by more than half a unit, far more than the scaling's error.
    if (v < kLowestEighteenDigits) {
        --k;
        v = ScaledAndRounded(magnitude, 17 - k);
    }
    Digits digits{};
    for (int i = kFullDigits - 1; i >= 0; --i) {
        digits.digit[i] = static_cast<char>('0' + v % 10);
        v /= 10;
    }
    digits.pointPosition = k + 1;
    return digits;
}

// Rounds to count digits by the next digit alone (a 5 rounds to an even digit).
void RoundToCount(Digits& digits, int count) {
    const char next = count < kFullDigits ? digits.digit[count] : '0';
    const bool lastIsOdd = ((digits.digit[count - 1] - '0') & 1) != 0;
    if (next < '5' || (next == '5' && !lastIsOdd)) {
        return;
    }
    int i = count - 1;
    while (i >= 0 && digits.digit[i] == '9') {
        digits.digit[i--] = '0';
    }
    if (i >= 0) {
        ++digits.digit[i];
    } else {
        digits.digit[0] = '1';
        ++digits.pointPosition;
    }
}

class Writer {
  public:
    void Put(char c) { text_[length_++] = c; }
    void Put(const char* bytes, int count) {
        std::memcpy(text_ + length_, bytes, static_cast<std::size_t>(count));
        length_ += count;
    }
    void Repeat(char c, int count) {
        for (int i = 0; i < count; ++i) {
            Put(c);
        }
    }
    DynamicString Result() const { return DynamicString(text_, length_); }

  private:
    char text_[kBufferSize];
    int length_ = 0;
};

void PutExponentForm(Writer& out, const char* digit, int m, int p) {
    out.Put(digit[0]);
    if (m > 1) {
        out.Put('.');
        out.Put(digit + 1, m - 1);
    }
    out.Put('E');
    int exponent = p - 1;
    out.Put(exponent < 0 ? '-' : '+');
    if (exponent < 0) {
        exponent = -exponent;
    }
    char reversed[8];
    int count = 0;
    do {
        reversed[count++] = static_cast<char>('0' + exponent % 10);
        exponent /= 10;
    } while (exponent > 0);
    while (count > 0) {
        out.Put(reversed[--count]);
    }
}

// m digits (after trimming), point position p, n the requested count.
void PutLayout(Writer& out, const char* digit, int m, int p, int n) {
    if (p == m) {
        out.Put(digit, m);
    } else if (p > m && p <= n) {
        out.Put(digit, m);
        out.Repeat('0', p - m);
    } else if (p > n) {
        PutExponentForm(out, digit, m, p);
    } else if (p > 0 && p < m) {
        out.Put(digit, p);
        out.Put('.');
        out.Put(digit + p, m - p);
    } else if (p <= 0 && m - p <= n) {
        out.Put('.');
        out.Repeat('0', -p);
        out.Put(digit, m);
    } else {
        PutExponentForm(out, digit, m, p);
    }
}

int EffectiveDigitCount(std::int32_t significantDigits) {
    return significantDigits >= 1 && significantDigits <= 17 ? significantDigits : kFullDigits;
}
}  // namespace

DynamicString NumberToText(long double x, std::int32_t significantDigits) {
    SetFloatingPointSettings();
    const int n = EffectiveDigitCount(significantDigits);
    const Decoded decoded = Decode(x);
    Writer out;

    const bool infinity = decoded.exponentField == kExponentAllOnes &&
                          (decoded.significand >> 48) == kInfinityTopBits;
    // Zero, denormals and NaNs read as zero. So do unnormals (an exponent
    // without the integer bit), which the x87 refuses as operands.
    const bool readsAsZero =
        !infinity && (decoded.exponentField == 0 || decoded.exponentField == kExponentAllOnes ||
                      (decoded.significand >> 63) == 0);
    if (readsAsZero) {
        out.Put(' ');
        out.Put('0');
        return out.Result();
    }

    out.Put(decoded.negative ? '-' : ' ');
    Digits digits{};
    if (infinity) {
        std::memset(digits.digit, '9', sizeof digits.digit);
        digits.pointPosition = kInfinityPointPosition;
    } else {
        digits = EighteenDigits(std::fabs(x), decoded.exponentField - kExponentBias);
        RoundToCount(digits, n);
    }
    int m = n;
    while (m > 1 && digits.digit[m - 1] == '0') {
        --m;
    }
    PutLayout(out, digits.digit, m, digits.pointPosition, n);
    return out.Result();
}

DynamicString NumberToText(long double x) {
    return NumberToText(x, kSystemDigits);
}

DynamicString NumberToTextSevenDigits(long double x) {
    return NumberToText(x, kShortDigits);
}
