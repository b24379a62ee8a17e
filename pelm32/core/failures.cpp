#include "pelm32/core/failures.h"

#include <cstdio>

#include "pelm32/core/desktop.h"
#include "pelm32/core/settings.h"

namespace pelm32 {

namespace {

std::function<void(const std::string&)>& Seam() {
    static std::function<void(const std::string&)> seam;
    return seam;
}

}  // namespace

void SetFailureSeam(std::function<void(const std::string&)> seam) {
    Seam() = std::move(seam);
}

void TellFailure(const std::string& text) {
    std::fprintf(stderr, "pelm32: %s\n", text.c_str());
    if (Seam()) {
        Seam()(text);
        return;
    }
    if (Headless()) {
        return;
    }
    // Texts start with an ASCII word ("no PDF written: ...").
    std::string sentence = text;
    if (!sentence.empty() && sentence[0] >= 'a' && sentence[0] <= 'z') {
        sentence[0] = static_cast<char>(sentence[0] - 'a' + 'A');
    }
    ShowFailureBox(sentence + ".\n\nNothing was written.");
}

}  // namespace pelm32
