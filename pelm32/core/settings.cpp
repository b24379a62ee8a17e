#include "pelm32/core/settings.h"

#include <cstdlib>

namespace pelm32 {

namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

}  // namespace

Settings ReadSettings() {
    Settings settings;
    settings.paper = Variable("PELM32_PAPER");
    settings.outputFolder = Variable("PELM32_OUTPUT_DIR");
    settings.preview = Variable("PELM32_PREVIEW") != "0" && !Headless();
    settings.quiet = Variable("PELM32_QUIET") == "1";
    return settings;
}

bool Headless() {
    return Variable("PELM32_HEADLESS") == "1";
}

}  // namespace pelm32
