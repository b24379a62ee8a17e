// The front end's own pmStartDoc, pmNewPage and pmFinishDoc: the report job
// calls these, which note the call and hand it on to the engine's. Linked
// into the front end only, never into the dialog program.
#include "app/engine_watch.h"

#if defined(_WIN32)
#include "platform/win32.h"
#else
#include <dlfcn.h>
#endif

#include "engine/pelm32.h"

namespace {

EngineWatch watch;

// The engine's own function of that name: the next one after this program's
// (on Windows, the one pelm32.dll exports).
template <typename Function>
Function* Engine(const char* name) {
#if defined(_WIN32)
    // Through void (*)(), the type any function pointer converts to and from.
    const auto found =
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("pelm32.dll"), name));
    return reinterpret_cast<Function*>(found);
#else
    return reinterpret_cast<Function*>(dlsym(RTLD_NEXT, name));
#endif
}

}  // namespace

const EngineWatch& WatchedEngine() {
    return watch;
}

void ResetEngineWatch() {
    watch = EngineWatch();
}

extern "C" {

int32_t PELM32_CALL pmStartDoc(int32_t option1, const char* title, const char* text3,
                               int32_t option4, int32_t pageValue1, int32_t pageValue2,
                               int32_t pageValue3, int32_t startOption) {
    static auto* engine = Engine<decltype(pmStartDoc)>("pmStartDoc");
    const int32_t handle =
        engine(option1, title, text3, option4, pageValue1, pageValue2, pageValue3, startOption);
    if (static_cast<int16_t>(handle) > 0) {
        watch.pages = 1;
    }
    return handle;
}

void PELM32_CALL pmNewPage(int32_t doc, int32_t pageValue1, int32_t pageValue2,
                           int32_t pageValue3) {
    static auto* engine = Engine<decltype(pmNewPage)>("pmNewPage");
    engine(doc, pageValue1, pageValue2, pageValue3);
    ++watch.pages;
}

void PELM32_CALL pmFinishDoc(int32_t doc, int32_t endMode) {
    static auto* engine = Engine<decltype(pmFinishDoc)>("pmFinishDoc");
    engine(doc, endMode);
    ++watch.documentsFinished;
}

}  // extern "C"
