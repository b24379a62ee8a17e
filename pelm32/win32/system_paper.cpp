#include <windows.h>

#include <string>

#include "pelm32/core/paper.h"

namespace pelm32 {

// The paper of the user's regional settings.
const Paper* SystemPaper() {
    char paper[8] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_IPAPERSIZE, paper, sizeof paper) == 0) {
        return nullptr;
    }
    const std::string code = paper;
    return code == "1" ? &kLetter : code == "9" ? &kA4 : nullptr;
}

}  // namespace pelm32
