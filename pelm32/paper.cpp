#include "pelm32/paper.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <langinfo.h>
#include <locale.h>
#endif

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace pelm32 {

const Paper kA4{"A4", 210.0 / 25.4 * 72.0, 297.0 / 25.4 * 72.0};
const Paper kLetter{"Letter", 612.0, 792.0};

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

#if defined(_WIN32)

// The paper of the user's regional settings.
const Paper* SystemPaper() {
    char paper[8] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_IPAPERSIZE, paper, sizeof paper) == 0) {
        return nullptr;
    }
    const std::string code = paper;
    return code == "1" ? &kLetter : code == "9" ? &kA4 : nullptr;
}

#else

// The locale that decides the paper, as the C library picks it.
std::string PaperLocaleName() {
    for (const char* variable : {"LC_ALL", "LC_PAPER", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return {};
}

bool IsPlainLocale(const std::string& name) {
    return name.empty() || name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0;
}

const Paper* LocalePaper() {
    if (IsPlainLocale(PaperLocaleName())) {
        return nullptr;
    }
    const locale_t locale = newlocale(LC_PAPER_MASK, "", static_cast<locale_t>(nullptr));
    if (locale == static_cast<locale_t>(nullptr)) {
        return nullptr;  // not installed: it cannot say
    }
    // The C library hands these numbers out in the place of a pointer.
    const auto number = [locale](nl_item item) {
        return static_cast<int>(reinterpret_cast<intptr_t>(nl_langinfo_l(item, locale)));
    };
    const Paper* paper = PaperOfSize(number(_NL_PAPER_WIDTH), number(_NL_PAPER_HEIGHT));
    freelocale(locale);
    return paper;
}

// The default paper as the paper library on this system keeps it.
const Paper* DefaultPaper() {
    if (const char* name = std::getenv("PAPERSIZE"); name != nullptr && *name != '\0') {
        return PaperNamed(name);
    }
    const char* configured = std::getenv("PAPERCONF");
    std::ifstream file(configured != nullptr && *configured != '\0' ? configured
                                                                    : "/etc/papersize");
    std::string line;
    while (std::getline(file, line)) {
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') {
            continue;
        }
        const size_t end = line.find_first_of(" \t\r", start);
        return PaperNamed(line.substr(start, end - start));
    }
    return nullptr;
}

// The locale's paper, else the system's default.
const Paper* SystemPaper() {
    if (const Paper* paper = LocalePaper()) {
        return paper;
    }
    return DefaultPaper();
}

#endif

}  // namespace

const Paper* PaperNamed(const std::string& name) {
    const std::string lower = Lower(name);
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

const Paper& ChoosePaper() {
    if (const char* setting = std::getenv("PELM32_PAPER"); setting != nullptr && *setting != '\0') {
        if (const Paper* paper = PaperNamed(setting)) {
            return *paper;
        }
        std::fprintf(stderr, "pelm32: PELM32_PAPER=\"%s\" is neither a4 nor letter: not used\n",
                     setting);
    }
    if (const Paper* paper = SystemPaper()) {
        return *paper;
    }
    return kA4;
}

}  // namespace pelm32
