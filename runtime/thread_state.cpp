#include "runtime/thread_state.h"

#include <atomic>
#include <cstring>

#include "platform/win32.h"

namespace {
constexpr char kDefaultFontFace[] = "MS Sans Serif";
constexpr std::uint16_t kDefaultFontPointSize = 8;
static_assert(sizeof kDefaultFontFace <= sizeof ThreadRuntimeState{}.dialogFontFace);

std::atomic<DWORD> stateSlot{TLS_OUT_OF_INDEXES};
}  // namespace

ThreadRuntimeState* CurrentThreadState() noexcept {
    const DWORD slot = stateSlot.load();
    if (slot == TLS_OUT_OF_INDEXES) {
        return nullptr;
    }
    // Reading the slot clears the last error; a caller about to read it
    // after a dialog call must still find its own.
    const DWORD lastError = GetLastError();
    auto* state = static_cast<ThreadRuntimeState*>(TlsGetValue(slot));
    SetLastError(lastError);
    return state;
}

const char* DialogFontFace() noexcept {
    const ThreadRuntimeState* state = CurrentThreadState();
    return state != nullptr ? state->dialogFontFace : kDefaultFontFace;
}

std::uint16_t DialogFontPointSize() noexcept {
    const ThreadRuntimeState* state = CurrentThreadState();
    return state != nullptr ? state->dialogFontPointSize : kDefaultFontPointSize;
}

bool CreateThreadState() noexcept {
    if (stateSlot.load() != TLS_OUT_OF_INDEXES) {
        return false;  // the state exists once; a second start-up is refused
    }
    const DWORD slot = TlsAlloc();
    if (slot == TLS_OUT_OF_INDEXES) {
        return false;
    }
    auto* state =
        static_cast<ThreadRuntimeState*>(GlobalAlloc(GMEM_ZEROINIT, sizeof(ThreadRuntimeState)));
    if (state == nullptr || !TlsSetValue(slot, state)) {
        GlobalFree(state);
        TlsFree(slot);
        return false;
    }
    state->dialogFontPointSize = kDefaultFontPointSize;
    std::memcpy(state->dialogFontFace, kDefaultFontFace, sizeof kDefaultFontFace);
    stateSlot.store(slot);
    return true;
}

void ReleaseThreadState() noexcept {
    const DWORD slot = stateSlot.exchange(TLS_OUT_OF_INDEXES);
    if (slot == TLS_OUT_OF_INDEXES) {
        return;
    }
    // The state holds no handles in this program; the record is all there is.
    GlobalFree(TlsGetValue(slot));
    TlsSetValue(slot, nullptr);
    TlsFree(slot);
}
