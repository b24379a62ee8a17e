#include <langinfo.h>
#include <locale.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "pelm32/core/paper.h"

namespace pelm32 {

namespace {

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

}  // namespace

const Paper* SystemPaper() {
    if (const Paper* paper = LocalePaper()) {
        return paper;
    }
    return DefaultPaper();
}

}  // namespace pelm32
