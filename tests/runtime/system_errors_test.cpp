#include "runtime/system_errors.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cstdint>
#include <map>
#include <tuple>
#include <utility>

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

#include "runtime/error_numbers.h"
#include "runtime/floating_point.h"
#include "runtime/system_call_gate.h"

namespace {

// The run-time error number of every Windows code below 40.
const std::uint8_t kExpectedBelow40[40] = {
    0,  75, 53, 76, 67, 70, 51, 241, 7,  241, 241, 51, 51, 51, 7,  68, 75, 74, 53, 70,
    68, 71, 51, 72, 51, 72, 72, 72,  72, 72,  72,  72, 70, 70, 72, 75, 70, 75, 62, 61,
};

TEST(MapSystemError, EveryCodeBelowFortyHasItsOwnEntry) {
    for (std::uint32_t code = 0; code < 40; ++code) {
        EXPECT_EQ(MapSystemError(code), kExpectedBelow40[code]) << "code " << code;
    }
}

TEST(MapSystemError, DiskFullSharesTheDiskFullEntryAndEveryOtherCodeGives75) {
    const std::map<std::uint32_t, std::int32_t> cases = {
        {112, 61},        {40, 75},    {41, 75},    {87, 75},   {111, 75},
        {113, 75},        {123, 75},   {206, 75},   {1921, 75}, {0x7FFFFFFF, 75},
        {0xFFFFFFFF, 75}, {0x100, 75}, {0x102, 75},  // codes whose low byte would index the table
    };
    for (const auto& [code, number] : cases) {
        EXPECT_EQ(MapSystemError(code), number) << "code " << code;
    }
}

TEST(MapSystemError, MemoryFaultReadsAs241NotNegative) {
    EXPECT_EQ(MapSystemError(7), 241);
    EXPECT_GT(MapSystemError(9), 0);
}

TEST(SystemCallGate, SucceedsOnZeroLastErrorEvenIfAnEarlierCallLeftOne) {
    SetLastError(ERROR_ACCESS_DENIED);
    auto outcome = ThroughSystemCallGate([] { return 42; });
    EXPECT_FALSE(outcome.failed);
    EXPECT_EQ(outcome.result, 42);
    EXPECT_EQ(outcome.errorNumber, 0);
}

TEST(SystemCallGate, FailsOnANonZeroLastErrorWhateverTheResultAndMapsIt) {
    auto outcome = ThroughSystemCallGate([] {
        SetLastError(ERROR_SHARING_VIOLATION);
        return TRUE;
    });
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(outcome.result, TRUE);
    EXPECT_EQ(outcome.systemError, ERROR_SHARING_VIOLATION);
    EXPECT_EQ(outcome.errorNumber, 70);
}

TEST(SystemCallGate, TurnsErrorDialogsOffForTheCallAndRestoresModeAndFloatingPoint) {
    UINT outside = SetErrorMode(0);
    SetFloatingPointSettings();
    std::uint16_t before = CurrentFloatingPointControlWord();
    auto outcome = ThroughSystemCallGate([] {
        SetDefaultFloatingPointState();  // an outside call that changes the settings
        UINT during = SetErrorMode(0);
        SetErrorMode(during);
        return during;
    });
    EXPECT_EQ(outcome.result, SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    EXPECT_EQ(SetErrorMode(outside), 0u);
    EXPECT_EQ(CurrentFloatingPointControlWord(), before);
}

// What a call can change of the floating-point state: the x87 control word,
// the x87 and SSE exception flags, and the SSE control and status register.
std::tuple<std::uint16_t, int, unsigned> FloatingPointWords() {
#if defined(__x86_64__) || defined(__i386__)
    unsigned sse = _mm_getcsr();
#else
    unsigned sse = 0;
#endif
    return {CurrentFloatingPointControlWord(), std::fetestexcept(FE_ALL_EXCEPT), sse};
}

TEST(SystemCallGate, LeavesEveryFloatingPointWordAsItWasWhateverTheCallChanges) {
    const std::pair<const char*, void (*)()> cases[] = {
        {"changes nothing", [] {}},
        {"takes the default state", SetDefaultFloatingPointState},
        {"rounds upward", [] { std::fesetround(FE_UPWARD); }},
        {"clears the flags", [] { std::feclearexcept(FE_ALL_EXCEPT); }},
        {"divides by zero on the x87",
         [] {
             volatile long double zero = 0;
             zero = 1 / zero;
         }},
        {"divides by zero in SSE",
         [] {
             volatile double zero = 0;
             zero = 1 / zero;
         }},
    };
    for (const auto& [name, call] : cases) {
        SetFloatingPointSettings();
        std::feraiseexcept(FE_INEXACT);
        auto before = FloatingPointWords();
        ThroughSystemCallGate([&] {
            call();
            return 0;
        });
        EXPECT_EQ(FloatingPointWords(), before) << name;
    }
    std::feclearexcept(FE_ALL_EXCEPT);
}

#if defined(__x86_64__) || defined(__i386__)
// However the state was left, the program's settings are back: its control
// word and no x87 exception flag raised.
TEST(FloatingPointSettings, AreEstablishedFromAnyState) {
    const std::pair<const char*, void (*)()> cases[] = {
        {"already in force", [] {}},
        {"the default state", SetDefaultFloatingPointState},
        {"rounding upward", [] { std::fesetround(FE_UPWARD); }},
        {"an x87 flag raised",
         [] {
             volatile long double zero = 0;
             zero = 1 / zero;
         }},
    };
    for (const auto& [name, change] : cases) {
        SetFloatingPointSettings();
        change();
        SetFloatingPointSettings();
        std::uint16_t status = 0;
        __asm__ volatile("fnstsw %0" : "=m"(status));
        EXPECT_EQ(CurrentFloatingPointControlWord(), kFloatingPointControlWord) << name;
        EXPECT_EQ(status & 0x3F, 0) << name;
    }
    std::feclearexcept(FE_ALL_EXCEPT);
}
#endif

void FailInOwnProcedure() {
    ErrorSlot slot;
    RecordErrorNumber(MapSystemError(ERROR_FILE_NOT_FOUND));
}

TEST(ErrorNumbers, LatestFailureWinsReadClearsAndCalleeFailuresStayInTheCallee) {
    ErrorSlot slot;
    EXPECT_EQ(ReadAndClearErrorNumber(), 0);
    RecordErrorNumber(53);
    RecordErrorNumber(241);
    FailInOwnProcedure();
    EXPECT_EQ(ReadAndClearErrorNumber(), 241);
    EXPECT_EQ(ReadAndClearErrorNumber(), 0);
    FailInOwnProcedure();
    EXPECT_EQ(ReadAndClearErrorNumber(), 0);
}

}  // namespace
