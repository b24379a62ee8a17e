#include "runtime/number_text.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "runtime/floating_point.h"

namespace {
struct Case {
    long double x;
    int digits;
    const char* expected;
};

// A long double built from its sign-and-exponent word and significand.
long double FromBits(std::uint16_t signAndExponent, std::uint64_t significand) {
    unsigned char raw[sizeof(long double)] = {};
    std::memcpy(raw, &significand, sizeof significand);
    std::memcpy(raw + sizeof significand, &signAndExponent, sizeof signAndExponent);
    long double x;
    std::memcpy(&x, raw, sizeof x);
    return x;
}

std::string WithSignSpace(std::int64_t value) {
    return value < 0 ? std::to_string(value) : " " + std::to_string(value);
}

class NumberToTextTest : public ::testing::Test {
  protected:
    void SetUp() override { SetFloatingPointSettings(); }
};
}  // namespace

TEST_F(NumberToTextTest, FifteenDigitExamples) {
    const std::vector<Case> cases = {
        {53, 15, " 53"},
        {-3, 15, "-3"},
        {0, 15, " 0"},
        {7, 15, " 7"},
        {65535, 15, " 65535"},
        {-1, 15, "-1"},
        {1234567890, 15, " 1234567890"},
        {2147483647, 15, " 2147483647"},
        {-2147483648.0L, 15, "-2147483648"},
        {0.5L, 15, " .5"},
        {-0.25L, 15, "-.25"},
        {123.456L, 15, " 123.456"},
        {1.0L / 3, 15, " .333333333333333"},
        {2.0L / 3, 15, " .666666666666667"},
        {1e14L, 15, " 100000000000000"},
        {1e15L, 15, " 1E+15"},
        {1234567890123456.0L, 15, " 1.23456789012346E+15"},
        {999999999999999.5L, 15, " 1E+15"},
        {1e-15L, 15, " .000000000000001"},
        {1e-15, 15, " .000000000000001"},  // the double nearest, a few units off
        {1.5e-16L, 15, " 1.5E-16"},
        {1e100L, 15, " 1E+100"},
        {-1e-300L, 15, "-1E-300"},
        {100, 15, " 100"},
        {LDBL_MAX, 15, " 1.18973149535723E+4932"},
        {LDBL_MIN, 15, " 3.36210314311209E-4932"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NumberToText(c.x).ToStdString(), c.expected) << static_cast<double>(c.x);
    }
}

TEST_F(NumberToTextTest, OtherDigitCountsRoundByTheNextDigitAlone) {
    const std::vector<Case> cases = {
        {2147483647, 7, " 2.147484E+9"},
        {2.5L, 1, " 2"},
        {3.5L, 1, " 4"},
        {9.5L, 1, " 1E+1"},
        {0.125L, 2, " .12"},
        {0.135L, 2, " .14"},
        {0.1251L, 2, " .12"},  // digits after the next one are not looked at
        {0.1261L, 2, " .13"},
        {9999999, 7, " 9999999"},
        {99999995, 7, " 1E+8"},
        {99999985, 7, " 9.999998E+7"},
        {-0.0996L, 2, "-.1"},
        {1.0L / 3, 17, " .33333333333333333"},
        {1.0L / 3, 18, " .333333333333333333"},
        {1.0L / 3, 0, " .333333333333333333"},
        {1.0L / 3, -5, " .333333333333333333"},
        {1.0L / 3, 99, " .333333333333333333"},
        {123456789012345678.0L, 18, " 123456789012345678"},
        {1.5L, 1, " 2"},
        {0.05L, 2, " .05"},
        {0.05L, 1, " 5E-2"},  // one digit cannot show a zero after the point
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NumberToText(c.x, c.digits).ToStdString(), c.expected)
            << static_cast<double>(c.x) << " with " << c.digits;
    }
    EXPECT_EQ(NumberToTextSevenDigits(2147483647).View(), " 2.147484E+9");
    EXPECT_EQ(NumberToTextSevenDigits(1.0L / 3).View(), " .3333333");
}

TEST_F(NumberToTextTest, SpecialValuesFollowTheirBits) {
    const long double infinity = std::numeric_limits<long double>::infinity();
    const long double denormal = std::numeric_limits<long double>::denorm_min();
    const std::vector<Case> cases = {
        {infinity, 15, " 9.99999999999999E+998"},
        {-infinity, 15, "-9.99999999999999E+998"},
        {infinity, 7, " 9.999999E+998"},
        {infinity, 1, " 9E+998"},
        {-0.0L, 15, " 0"},
        {std::numeric_limits<long double>::quiet_NaN(), 15, " 0"},
        {-std::numeric_limits<long double>::quiet_NaN(), 15, " 0"},
        {denormal, 15, " 0"},
        {-denormal * 1000, 15, " 0"},
        // Exponent all ones with other top bits: NaN, read as zero.
        {FromBits(0x7FFF, 0xC000000000000001ULL), 15, " 0"},
        {FromBits(0xFFFF, 0x8000000000000000ULL), 15, "-9.99999999999999E+998"},
        // An unnormal (no integer bit) is refused by the x87: read as zero.
        {FromBits(0x3FFF, 0x4000000000000000ULL), 15, " 0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NumberToText(c.x, c.digits).ToStdString(), c.expected);
    }
}

TEST_F(NumberToTextTest, NeighboursOfPowersOfTenKeepTheRightExponent) {
    // Across the whole range, including where the estimate of the decimal
    // exponent is off by one and where the pre-step scales by 10^4096.
    for (int j = -4931; j <= 4931; ++j) {
        std::string literal = "1e" + std::to_string(j);
        long double power = std::strtold(literal.c_str(), nullptr);
        std::string expected;
        if (j >= 15 || j <= -16) {
            expected = " 1E" + std::string(j < 0 ? "-" : "+") + std::to_string(std::abs(j));
        } else if (j >= 0) {
            expected = " 1" + std::string(static_cast<std::size_t>(j), '0');
        } else {
            expected = " ." + std::string(static_cast<std::size_t>(-j - 1), '0') + "1";
        }
        const long double below = std::nextafter(power, 0.0L);
        const long double above = std::nextafter(power, LDBL_MAX);
        ASSERT_EQ(NumberToText(power).ToStdString(), expected) << j;
        ASSERT_EQ(NumberToText(below).ToStdString(), expected) << "below " << j;
        ASSERT_EQ(NumberToText(above).ToStdString(), expected) << "above " << j;
    }
}

TEST_F(NumberToTextTest, ThirtyTwoBitIntegersAreExactWithASignSpace) {
    // A sampled sweep: both ends, every value near zero and a stride through
    // the rest with an odd step so every last digit shows up.
    std::vector<std::int64_t> values;
    for (std::int64_t v = -20000; v <= 20000; ++v) {
        values.push_back(v);
    }
    for (std::int64_t v = INT32_MIN; v <= INT32_MAX - 104729; v += 104729) {
        values.push_back(v);
    }
    for (std::int64_t v = INT32_MAX - 1000; v <= INT32_MAX; ++v) {
        values.push_back(v);
        values.push_back(-v - 1);
    }
    for (std::int64_t p = 10; p <= 1000000000; p *= 10) {
        for (std::int64_t v : {p - 1, p, p + 1, -p + 1, -p, -p - 1}) {
            values.push_back(v);
        }
    }
    for (std::int64_t v : values) {
        ASSERT_EQ(NumberToText(static_cast<long double>(v)).ToStdString(), WithSignSpace(v));
    }
}

TEST_F(NumberToTextTest, LeavesTheProgramsFloatingPointSettingsInForce) {
    SetDefaultFloatingPointState();
    EXPECT_EQ(NumberToText(0.5L).View(), " .5");
    EXPECT_EQ(CurrentFloatingPointControlWord(), kFloatingPointControlWord);
}
