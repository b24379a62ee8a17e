// What the print engine did with the documents the report job handed it, as
// a front end that is not the engine needs to tell: the engine is reached
// through its nine functions only, so the front end watches three of them.
#pragma once

#include <cstdint>

struct EngineWatch {
    std::int32_t documentsFinished = 0;
    // Pages of the last document started: its first and one per new page.
    std::int32_t pages = 0;
};

// What was seen since the last reset.
const EngineWatch& WatchedEngine();
void ResetEngineWatch();
