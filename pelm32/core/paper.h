// The paper documents are laid out on: the user's setting, as a desktop
// program would follow it.
#pragma once

#include <string>

namespace pelm32 {

struct Settings;

struct Paper {
    const char* name;  // "A4" or "Letter"
    double width;      // points
    double height;
};

extern const Paper kA4;
extern const Paper kLetter;

// The paper setting ("a4" or "letter") when there is one; else the
// system's paper (SystemPaper); else A4.
const Paper& ChoosePaper(const Settings& settings);

// The paper the user's system asks for, one file per platform; null when
// it does not say. On Linux: the paper of the locale the user chose
// (LC_ALL, LC_PAPER or LANG, unless that is the plain C locale, which has
// no say), else the system's default paper as the paper library keeps it
// (PAPERSIZE, else the file PAPERCONF names, else /etc/papersize). On
// Windows: the paper of the user's regional settings.
const Paper* SystemPaper();

// The paper a name gives ("a4", "letter", any case); null for others.
const Paper* PaperNamed(const std::string& name);

// The paper for a size in millimetres, as locales give it; null when it is
// neither A4 nor Letter.
const Paper* PaperOfSize(int widthMm, int heightMm);

}  // namespace pelm32
