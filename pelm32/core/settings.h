// The engine's settings from the environment, read once when a document
// starts, so a document keeps the settings it began with.
#pragma once

#include <string>

namespace pelm32 {

struct Settings {
    // PELM32_PAPER: "a4" or "letter"; empty when unset.
    std::string paper;
    // PELM32_OUTPUT_DIR: where PDFs go; empty for the current folder.
    std::string outputFolder;
    // PELM32_PREVIEW: a preview (or the system's viewer) after the PDF is
    // written, unless it is "0".
    bool preview = true;
    // PELM32_QUIET: "1" keeps the line that names each PDF written off
    // standard error (failures are told all the same).
    bool quiet = false;
};

Settings ReadSettings();

// PELM32_HEADLESS: "1" opens no window of the engine's, as where there is
// no display: no preview, no progress window, failures on standard error
// only. For programs that print from scripts, on every platform.
bool Headless();

}  // namespace pelm32
