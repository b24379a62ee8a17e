#include "tests/pelm32/pdf/pdf_check.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "pelm32/pdf/object_writer.h"

namespace pdf_check {

namespace {

namespace fs = std::filesystem;

// The running test's folder, made on its first file.
fs::path& TestFolder() {
    static fs::path folder;
    return folder;
}

class FolderCleanup : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo& test) override {
        fs::path& folder = TestFolder();
        if (folder.empty()) {
            return;
        }
        if (test.result()->Failed()) {
            std::cout << "The test's PDFs are kept in " << folder << "\n";
        } else {
            fs::remove_all(folder);
        }
        folder.clear();
    }
};

[[maybe_unused]] const bool registered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new FolderCleanup);
    return true;
}();

}  // namespace

std::string Quoted(const std::string& path) {
    std::string out = "'";
    for (const char c : path) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

std::string Run(const std::string& command, int* status) {
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

namespace {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string References(uint32_t first, size_t count) {
    std::string out;
    for (size_t i = 0; i < count; ++i) {
        out += std::to_string(first + i) + " 0 R ";
    }
    return out;
}

}  // namespace

std::string WriteTempPdf(const std::string& bytes) {
    static int files = 0;
    fs::path& folder = TestFolder();
    if (folder.empty()) {
        std::string name = (fs::temp_directory_path() / "pdf_tests.XXXXXX").string();
        if (mkdtemp(name.data()) == nullptr) {
            ADD_FAILURE() << "Cannot make a temporary folder";
            return {};
        }
        folder = name;
    }
    const fs::path path = folder / (std::to_string(++files) + ".pdf");
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
}

std::string QpdfCheck(const std::string& path, int* status) {
    return Run("qpdf --check " + Quoted(path) + " 2>&1", status);
}

::testing::AssertionResult QpdfClean(const std::string& path) {
    int status = -1;
    const std::string out = QpdfCheck(path, &status);
    if (status == 0 && out.find("WARNING") == std::string::npos) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "qpdf --check " << path << " exited with " << status << ":\n"
           << out;
}

::testing::AssertionResult GhostscriptReads(const std::string& path) {
    int status = -1;
    const std::string out =
        Run("gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=nullpage " + Quoted(path) + " 2>&1", &status);
    if (status == 0 && out.empty()) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "Ghostscript on " << path << " exited with " << status << ":\n"
           << out;
}

std::string PdfToText(const std::string& path, int page, std::string* errors) {
    std::string pages;
    if (page > 0) {
        pages = " -f " + std::to_string(page) + " -l " + std::to_string(page);
    }
    const std::string errorFile = path + ".errors";
    std::string text =
        Run("pdftotext -enc UTF-8" + pages + " " + Quoted(path) + " - 2>" + Quoted(errorFile));
    if (errors != nullptr) {
        *errors = ReadFile(errorFile);
    }
    return text;
}

std::string PdfInfo(const std::string& path) {
    return Run("pdfinfo " + Quoted(path) + " 2>&1");
}

int PdfPageCount(const std::string& path) {
    std::istringstream info(PdfInfo(path));
    std::string line;
    while (std::getline(info, line)) {
        if (line.rfind("Pages:", 0) == 0) {
            return std::stoi(line.substr(6));
        }
    }
    return -1;
}

std::vector<Word> PdfWords(const std::string& path, int onlyPage) {
    std::vector<Word> words;
    const std::string pages =
        onlyPage > 0 ? " -f " + std::to_string(onlyPage) + " -l " + std::to_string(onlyPage) : "";
    std::istringstream html(Run("pdftotext -bbox" + pages + " " + Quoted(path) + " - 2>/dev/null"));
    std::string line;
    int page = onlyPage > 0 ? onlyPage - 1 : 0;
    while (std::getline(html, line)) {
        if (line.find("<page ") != std::string::npos) {
            ++page;
            continue;
        }
        Word word{page, 0, 0, 0, 0, {}};
        if (std::sscanf(line.c_str(), " <word xMin=\"%lf\" yMin=\"%lf\" xMax=\"%lf\" yMax=\"%lf\">",
                        &word.xMin, &word.yMin, &word.xMax, &word.yMax) == 4) {
            const size_t open = line.find('>');
            word.text = line.substr(open + 1, line.rfind("</word>") - open - 1);
            words.push_back(word);
        }
    }
    return words;
}

GrayPage RenderGray(const std::string& path, int page, int dpi) {
    const std::string stem = path + "-page" + std::to_string(page);
    Run("pdftoppm -gray -singlefile -r " + std::to_string(dpi) + " -f " + std::to_string(page) +
        " -l " + std::to_string(page) + " " + Quoted(path) + " " + Quoted(stem));
    std::ifstream in(stem + ".pgm", std::ios::binary);
    std::string magic;
    int depth = 0;
    GrayPage gray;
    if (!(in >> magic >> gray.width >> gray.height >> depth) || magic != "P5" || depth != 255) {
        return {};
    }
    in.get();  // the one blank before the pixels
    gray.pixels.resize(static_cast<size_t>(gray.width) * gray.height);
    in.read(reinterpret_cast<char*>(gray.pixels.data()),
            static_cast<std::streamsize>(gray.pixels.size()));
    return in ? gray : GrayPage{};
}

std::string SimpleDocument(const std::vector<std::string>& contents,
                           pelm32::pdf::Deflater* deflater) {
    std::unique_ptr<pelm32::pdf::Deflater> own;
    if (deflater == nullptr) {
        own = pelm32::pdf::MakeDeflater();
        deflater = own.get();
    }
    pelm32::pdf::MemorySink sink;
    pelm32::pdf::ObjectWriter writer(sink, *deflater);
    const uint32_t catalog = writer.NewObject();
    const uint32_t pages = writer.NewObject();
    const uint32_t font = writer.NewObject();
    const uint32_t image = writer.NewObject();
    const uint32_t info = writer.NewObject();
    const uint32_t firstPage = writer.NewObject();
    for (size_t i = 1; i < contents.size(); ++i) {
        writer.NewObject();
    }
    const std::string parent = "/Parent " + std::to_string(pages) + " 0 R";
    for (size_t i = 0; i < contents.size(); ++i) {
        const uint32_t content = writer.NewObject();
        writer.PutStream(content, "", contents[i]);
        writer.PutObject(
            firstPage + static_cast<uint32_t>(i),
            "<< /Type /Page " + parent + " /Contents " + std::to_string(content) + " 0 R >>");
    }
    writer.PutObject(catalog, "<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>");
    writer.PutObject(pages, "<< /Type /Pages /Kids [" + References(firstPage, contents.size()) +
                                "] /Count " + std::to_string(contents.size()) +
                                " /MediaBox [0 0 612 792] /Resources << /Font << /F1 " +
                                std::to_string(font) + " 0 R >> /XObject << /Im1 " +
                                std::to_string(image) + " 0 R >> >> >>");
    writer.PutObject(font,
                     "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica "
                     "/Encoding /WinAnsiEncoding >>");
    writer.PutStream(image,
                     "/Type /XObject /Subtype /Image /Width 2 /Height 2 "
                     "/ColorSpace /DeviceGray /BitsPerComponent 8",
                     std::string("\x00\x80\x80\xFF", 4));
    writer.PutObject(info, "<< /Producer (pdf_tests) >>");
    EXPECT_TRUE(writer.Finish(catalog, info, "0123456789abcdef"));
    return sink.bytes;
}

}  // namespace pdf_check
