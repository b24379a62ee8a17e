#include "tests/pelm32/pdf_tools.h"

#include <dirent.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace pelm32_test {

std::string RunCommand(const std::string& command, int* status) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        if (status != nullptr) {
            *status = -1;
        }
        return out;
    }
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        out.append(buffer, n);
    }
    const int result = pclose(pipe);
    if (status != nullptr) {
        *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    }
    return out;
}

std::string Quoted(const std::string& path) {
    std::string out = "'";
    for (char c : path) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

std::string PdfText(const std::string& pdf, int page) {
    std::string pages;
    if (page > 0) {
        pages = " -f " + std::to_string(page) + " -l " + std::to_string(page);
    }
    return RunCommand("pdftotext -layout -enc UTF-8" + pages + " " + Quoted(pdf) +
                      " - 2>/dev/null");
}

std::string PdfInfo(const std::string& pdf) {
    return RunCommand("pdfinfo " + Quoted(pdf) + " 2>/dev/null");
}

int PdfPageCount(const std::string& pdf) {
    std::istringstream info(PdfInfo(pdf));
    std::string line;
    while (std::getline(info, line)) {
        if (line.rfind("Pages:", 0) == 0) {
            return std::stoi(line.substr(6));
        }
    }
    return -1;
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
        std::string type, color, comp, bpc, interp;
        if (fields >> image.page >> number >> type >> image.width >> image.height >> color >>
            comp >> bpc >> image.encoding >> interp >> image.object) {
            images.push_back(image);
        }
    }
    return images;
}

std::vector<PdfWord> PdfWords(const std::string& pdf) {
    std::vector<PdfWord> words;
    std::istringstream html(RunCommand("pdftotext -bbox " + Quoted(pdf) + " - 2>/dev/null"));
    std::string line;
    int page = 0;
    while (std::getline(html, line)) {
        if (line.find("<page ") != std::string::npos) {
            ++page;
            continue;
        }
        PdfWord word{};
        word.page = page;
        if (std::sscanf(line.c_str(), " <word xMin=\"%lf\" yMin=\"%lf\" xMax=\"%lf\" yMax=\"%lf\">",
                        &word.xMin, &word.yMin, &word.xMax, &word.yMax) == 4) {
            const size_t open = line.find('>');
            const size_t close = line.rfind("</word>");
            word.text = line.substr(open + 1, close - open - 1);
            words.push_back(word);
        }
    }
    return words;
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
