#include "runtime/floating_point.h"

#if defined(__i386__) || defined(__x86_64__)
#define HAVE_X87 1
#endif

namespace {
// Bit 6 of the x87 control word is reserved and always reads as 1.
constexpr std::uint16_t kControlWordBits = 0x1F3F;
constexpr std::uint16_t kReservedControlBit = 0x40;
// What fclex clears: the exception flags, stack fault, error summary, busy.
constexpr std::uint16_t kClearedStatusBits = 0x80FF;
}  // namespace

void SetFloatingPointSettings() noexcept {
#ifdef HAVE_X87
    // Reading the words costs a third of setting them, and after most calls
    // they are as they were: left alone then.
    std::uint16_t control = 0;
    std::uint16_t status = 0;
    __asm__ volatile("fnstcw %0\n\tfnstsw %1" : "=m"(control), "=m"(status));
    if ((control & ~kReservedControlBit) == kFloatingPointControlWord &&
        (status & kClearedStatusBits) == 0) {
        return;
    }
    std::uint16_t word = kFloatingPointControlWord;
    __asm__ volatile("fclex\n\tfldcw %0" : : "m"(word));
#endif
}

void SetDefaultFloatingPointState() noexcept {
#ifdef HAVE_X87
    __asm__ volatile("fninit");
#endif
}

std::uint16_t CurrentFloatingPointControlWord() noexcept {
#ifdef HAVE_X87
    std::uint16_t word = 0;
    __asm__ volatile("fnstcw %0" : "=m"(word));
    return word & kControlWordBits;
#else
    return kFloatingPointControlWord;
#endif
}

SavedFloatingPointState::Words SavedFloatingPointState::Current() noexcept {
    Words words;
#ifdef HAVE_X87
    __asm__ volatile("fnstcw %0\n\tfnstsw %1\n\tstmxcsr %2"
                     : "=m"(words.x87Control), "=m"(words.x87Status),
                       "=m"(words.sseControlAndStatus));
#endif
    return words;
}

SavedFloatingPointState::SavedFloatingPointState() noexcept : saved_(Current()) {}

SavedFloatingPointState::~SavedFloatingPointState() {
#ifdef HAVE_X87
    Words now = Current();
    if (now.sseControlAndStatus != saved_.sseControlAndStatus) {
        __asm__ volatile("ldmxcsr %0" : : "m"(saved_.sseControlAndStatus));
    }
    if (now.x87Control != saved_.x87Control || now.x87Status != saved_.x87Status) {
        // The status word can only be loaded with the whole environment.
        alignas(16) std::uint16_t environment[14];
        __asm__ volatile("fnstenv %0" : "=m"(environment));
        environment[0] = saved_.x87Control;
        environment[2] = saved_.x87Status;
        __asm__ volatile("fldenv %0" : : "m"(environment));
    }
#endif
}
