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
    // The language of the user's locale (LC_ALL, LC_MESSAGES or LANG) as
    // PDF readers want it: "en-GB" for en_GB.UTF-8; "en" where none is set.
    std::string language = "en";
};

// "en_GB.UTF-8@euro" -> "en-GB"; "en" for the C and POSIX locales and
// anything that is not a language.
std::string LocaleLanguage(const std::string& locale);

Settings ReadSettings();

// PELM32_HEADLESS: "1" opens no window of the engine's, as where there is
// no display: no preview, no progress window, failures on standard error
// only. For programs that print from scripts, on every platform.
bool Headless();

}  // namespace pelm32
