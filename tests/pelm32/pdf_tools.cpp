#include "tests/pelm32/pdf_tools.h"

#include <dirent.h>

#include <algorithm>
#include <sstream>

namespace pelm32_test {

std::string PdfText(const std::string& pdf, int page) {
    std::string pages;
    if (page > 0) {
        pages = " -f " + std::to_string(page) + " -l " + std::to_string(page);
    }
    return RunCommand("pdftotext -layout -enc UTF-8" + pages + " " + Quoted(pdf) +
                      " - 2>/dev/null");
}

std::string PdfFonts(const std::string& pdf) {
    return RunCommand("pdffonts " + Quoted(pdf) + " 2>/dev/null");
}

std::vector<PdfImage> PdfImages(const std::string& pdf) {
    std::vector<PdfImage> images;
    std::istringstream list(RunCommand("pdfimages -list " + Quoted(pdf) + " 2>/dev/null"));
    std::string line;
    while (std::getline(list, line)) {
        std::istringstream fields(line);
        PdfImage image{};
        int number;
        std::string color, comp, bpc, interp;
        if (fields >> image.page >> number >> image.type >> image.width >> image.height >> color >>
            comp >> bpc >> image.encoding >> interp >> image.object) {
            images.push_back(image);
        }
    }
    return images;
}

std::vector<std::vector<int>> PageContents(const std::string& pdf) {
    std::vector<std::vector<int>> pages;
    std::istringstream list(RunCommand("qpdf --show-pages " + Quoted(pdf) + " 2>/dev/null"));
    std::string line;
    while (std::getline(list, line)) {
        if (line.rfind("page ", 0) == 0) {
            pages.emplace_back();
        } else if (!pages.empty() && line.find(" 0 R") != std::string::npos) {
            pages.back().push_back(std::stoi(line));
        }
    }
    return pages;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace pelm32_test
