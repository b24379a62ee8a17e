#include "runtime/floating_point.h"

#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#define HAVE_X87 1
#endif

namespace {
// Bit 6 of the x87 control word is reserved and always reads as 1.
constexpr std::uint16_t kControlWordBits = 0x1F3F;
}  // namespace

void SetFloatingPointSettings() noexcept {
#ifdef HAVE_X87
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

SavedFloatingPointState::SavedFloatingPointState() noexcept {
    std::memset(x87Environment_, 0, sizeof x87Environment_);
#ifdef HAVE_X87
    // fnstenv masks every exception as a side effect; reload to keep the state.
    __asm__ volatile("fnstenv %0\n\tfldenv %0" : "=m"(x87Environment_));
    __asm__ volatile("stmxcsr %0" : "=m"(sseControl_));
#endif
}

SavedFloatingPointState::~SavedFloatingPointState() {
#ifdef HAVE_X87
    __asm__ volatile("fldenv %0" : : "m"(x87Environment_));
    __asm__ volatile("ldmxcsr %0" : : "m"(sseControl_));
#endif
}
