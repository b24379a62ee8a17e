#include "pelm32/core/settings.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace pelm32 {

namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

bool Letters(const std::string& text, size_t low, size_t high) {
    return text.size() >= low && text.size() <= high &&
           std::all_of(text.begin(), text.end(), [](char c) { return std::isalpha(c) != 0; });
}

// The first of the variables that is set, as the C library picks the locale.
std::string MessagesLocale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (std::string value = Variable(name); !value.empty()) {
            return value;
        }
    }
    return {};
}

}  // namespace

std::string LocaleLanguage(const std::string& locale) {
    const std::string name = locale.substr(0, locale.find_first_of(".@"));
    const size_t underscore = name.find('_');
    const std::string language = name.substr(0, underscore);
    if (!Letters(language, 2, 3) || language == "C") {
        return "en";
    }
    if (underscore == std::string::npos) {
        return language;
    }
    const std::string region = name.substr(underscore + 1);
    return Letters(region, 2, 2) ? language + '-' + region : language;
}

Settings ReadSettings() {
    Settings settings;
    settings.paper = Variable("PELM32_PAPER");
    settings.outputFolder = Variable("PELM32_OUTPUT_DIR");
    settings.preview = Variable("PELM32_PREVIEW") != "0" && !Headless();
    settings.quiet = Variable("PELM32_QUIET") == "1";
    settings.language = LocaleLanguage(MessagesLocale());
    return settings;
}

bool Headless() {
    return Variable("PELM32_HEADLESS") == "1";
}

}  // namespace pelm32
