#include "pelm32/core/paper.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "pelm32/core/settings.h"

namespace pelm32 {

const Paper kA4{"A4", 210.0 / 25.4 * 72.0, 297.0 / 25.4 * 72.0};
const Paper kLetter{"Letter", 612.0, 792.0};

const Paper* PaperNamed(const std::string& name) {
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "a4") {
        return &kA4;
    }
    if (lower == "letter") {
        return &kLetter;
    }
    return nullptr;
}

const Paper* PaperOfSize(int widthMm, int heightMm) {
    if (widthMm == 210 && heightMm == 297) {
        return &kA4;
    }
    if (widthMm == 216 && heightMm == 279) {
        return &kLetter;
    }
    return nullptr;
}

const Paper& ChoosePaper(const Settings& settings) {
    if (!settings.paper.empty()) {
        if (const Paper* paper = PaperNamed(settings.paper)) {
            return *paper;
        }
        std::fprintf(stderr, "pelm32: PELM32_PAPER=\"%s\" is neither a4 nor letter: not used\n",
                     settings.paper.c_str());
    }
    if (const Paper* paper = SystemPaper()) {
        return *paper;
    }
    return kA4;
}

}  // namespace pelm32
