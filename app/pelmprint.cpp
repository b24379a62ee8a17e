// pelmprint: report files printed from a command line, for scripts and
// scheduled jobs. Each file goes through the same PrintReportFile and
// engine as the dialog's Print, with no window: what would be a message box
// is a line on standard error.
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "app/engine_watch.h"
#include "app/pelmprint_system.h"
#include "report/report_job.h"
#include "runtime/floating_point.h"
#include "runtime/message_box_seam.h"

namespace {

namespace fs = std::filesystem;

constexpr int kUsageError = 1;
constexpr int kNoDocument = 255;  // the engine started none, or wrote no PDF

const char kUsage[] =
    "Usage: pelmprint [-o FOLDER] [--paper a4|letter] [--lf] [-v] FILE...\n"
    "Prints each report file as the program's Print does, with no window.\n"
    "\n"
    "  -o, --output FOLDER   write the PDFs there (default: the current folder)\n"
    "      --paper a4|letter the paper (default: the user's, as the engine chooses)\n"
    "      --lf              read a file whose lines end with LF alone as lines\n"
    "                        (the program itself ends a line at CR or CR LF only)\n"
    "  -v, --verbose         also name each PDF written on standard error\n"
    "      --help            show this and end\n"
    "      --version         show the version and end\n"
    "\n"
    "A FILE with * or ? that names no file is a pattern: each file it matches\n"
    "is printed. For each file one line goes to standard output, tab-separated:\n"
    "the file, the PDF written (- for none), its pages, the seconds taken.\n"
    "Failures and warnings go to standard error, one line each.\n"
    "\n"
    "Exit status: 0 when every file printed; else the first failure's run-time\n"
    "error number (53: file not found, 64: bad file name, as a pattern that\n"
    "matches no file, 70: permission denied or locked, 75: a folder, not a\n"
    "file, ...), or 255 when the engine wrote no PDF; 1 for a usage error.\n";

constexpr int kNotAFile = 75;  // the run time's path/file access error

struct Request {
    std::string outputFolder;
    std::string paper;
    std::vector<std::string> files;
    bool help = false;
    bool version = false;
    bool lf = false;
    bool verbose = false;
};

// False, with the reason in error, for a command line that makes no sense.
bool ReadCommandLine(int argc, char** argv, Request& request, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool takesValue = argument == "-o" || argument == "--output" || argument == "--paper";
        if (takesValue && i + 1 >= argc) {
            error = argument + " needs a value";
            return false;
        }
        if (argument == "--help" || argument == "-h") {
            request.help = true;
        } else if (argument == "--version") {
            request.version = true;
        } else if (argument == "--lf") {
            request.lf = true;
        } else if (argument == "-v" || argument == "--verbose") {
            request.verbose = true;
        } else if (argument == "-o" || argument == "--output") {
            request.outputFolder = argv[++i];
        } else if (argument == "--paper") {
            request.paper = argv[++i];
            if (request.paper != "a4" && request.paper != "letter") {
                error = "the paper is a4 or letter, not \"" + request.paper + "\"";
                return false;
            }
        } else if (argument == "--") {
            request.files.insert(request.files.end(), argv + i + 1, argv + argc);
            break;
        } else if (argument.size() > 1 && argument[0] == '-') {
            error = "unknown option " + argument;
            return false;
        } else {
            request.files.push_back(argument);
        }
    }
    if (request.files.empty() && !request.help && !request.version) {
        error = "no report file named";
        return false;
    }
    return true;
}

// A name that is a file stands for itself; one with wildcards that names
// none stands for the files it matches, in order (or for itself, when it
// matches none, so that its failure is told).
std::vector<std::string> Expand(const std::string& name) {
    struct stat info {};
    if (stat(name.c_str(), &info) == 0 || name.find_first_of("*?") == std::string::npos) {
        return {name};
    }
    const std::vector<std::string> files = MatchingFiles(name);
    return files.empty() ? std::vector<std::string>{name} : files;
}

std::set<std::string> Pdfs(const std::string& folder) {
    std::set<std::string> pdfs;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder.empty() ? "." : folder, error)) {
        if (entry.path().extension() == ".pdf") {
            pdfs.insert(fs::absolute(entry.path()).lexically_normal().string());
        }
    }
    return pdfs;
}

struct Printed {
    int status = 0;
    std::string pdf;
    int pages = 0;
    double seconds = 0;
};

// Whether the file's lines end with LF alone: an LF in its first block
// and no CR at all there.
bool LinesEndWithLfAlone(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::string block(64 * 1024, '\0');
    in.read(block.data(), static_cast<std::streamsize>(block.size()));
    block.resize(static_cast<size_t>(in.gcount()));
    return block.find('\n') != std::string::npos && block.find('\r') == std::string::npos;
}

// A copy of the file with CR LF for each LF alone, in the temporary folder,
// gone when this is; empty when none could be made.
class CrLfCopy {
  public:
    explicit CrLfCopy(const std::string& file) {
        std::error_code error;
        const fs::path folder = fs::temp_directory_path(error);
        std::random_device random;
        const fs::path path = folder / ("pelmprint-" + std::to_string(random()) + ".txt");
        std::ifstream in(file, std::ios::binary);
        std::ofstream out(path, std::ios::binary);
        if (error || !in || !out) {
            return;
        }
        path_ = path.string();
        char previous = '\0';
        for (char c; in.get(c); previous = c) {
            if (c == '\n' && previous != '\r') {
                out.put('\r');
            }
            out.put(c);
        }
        if (!out.flush()) {
            path_.clear();
        }
    }
    ~CrLfCopy() {
        std::error_code ignored;
        if (!path_.empty()) {
            fs::remove(path_, ignored);
        }
    }
    CrLfCopy(const CrLfCopy&) = delete;
    CrLfCopy& operator=(const CrLfCopy&) = delete;
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

Printed PrintOne(const std::string& file, const std::string& folder) {
    const std::set<std::string> before = Pdfs(folder);
    ResetEngineWatch();
    const auto start = std::chrono::steady_clock::now();
    SetFloatingPointSettings();
    const std::int32_t result = PrintReportFile(DynamicString(file.c_str()));
    Printed printed;
    printed.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    for (const std::string& pdf : Pdfs(folder)) {
        if (before.count(pdf) == 0) {
            printed.pdf = pdf;
        }
    }
    if (result != 0) {
        printed.status = result < 0 ? kNoDocument : result;
    } else if (printed.pdf.empty() || WatchedEngine().documentsFinished == 0) {
        printed.status = kNoDocument;
    } else {
        printed.pages = WatchedEngine().pages;
    }
    return printed;
}

// One file as the request asks: a folder is refused with its own reason,
// and a file whose lines end with LF alone is warned of, or read through a
// copy with CR LF when --lf asks.
Printed PrintFile(const std::string& file, const Request& request, const std::string& folder) {
    std::error_code error;
    if (fs::is_directory(file, error)) {
        std::cerr << "pelmprint: " << file << ": a folder, not a report file" << std::endl;
        return {kNotAFile, "", 0, 0};
    }
    if (!LinesEndWithLfAlone(file)) {
        return PrintOne(file, folder);
    }
    if (!request.lf) {
        std::cerr << "pelmprint: " << file
                  << ": lines end with LF alone; they print as one line (--lf reads LF as a "
                     "line end)"
                  << std::endl;
        return PrintOne(file, folder);
    }
    const CrLfCopy copy(file);
    if (copy.Path().empty()) {
        std::cerr << "pelmprint: " << file << ": no copy with CR LF could be made" << std::endl;
        return {kNoDocument, "", 0, 0};
    }
    return PrintOne(copy.Path(), folder);
}

int PrintAll(const Request& request) {
    // No window anywhere: the engine makes no preview and shows no box, and
    // the program's boxes become lines on standard error.
    SetVariable("QT_QPA_PLATFORM", "offscreen");
    SetVariable("PELM32_PREVIEW", "0");
    SetVariable("PELM32_HEADLESS", "1");
    if (!request.outputFolder.empty()) {
        SetVariable("PELM32_OUTPUT_DIR", request.outputFolder);
    }
    if (!request.paper.empty()) {
        SetVariable("PELM32_PAPER", request.paper);
    }
    // Copied: on Windows setting a variable may move the others' texts.
    const char* outputFolder = std::getenv("PELM32_OUTPUT_DIR");
    const std::string folder = outputFolder != nullptr ? outputFolder : "";
    SendMessageBoxesTo([](const MessageBoxRequest& box) {
        std::cerr << "pelmprint: " << box.caption << ": " << box.text << std::endl;
        return 1;  // OK
    });
    if (!request.verbose) {
        SetVariable("PELM32_QUIET", "1");
    }
    int status = 0;
    for (const std::string& name : request.files) {
        for (const std::string& file : Expand(name)) {
            const Printed printed = PrintFile(file, request, folder);
            std::printf("%s\t%s\t%d\t%.3f\n", file.c_str(),
                        printed.pdf.empty() ? "-" : printed.pdf.c_str(), printed.pages,
                        printed.seconds);
            std::fflush(stdout);
            if (status == 0) {
                status = printed.status;
            }
        }
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    Request request;
    std::string error;
    if (!ReadCommandLine(argc, argv, request, error)) {
        std::cerr << "pelmprint: " << error << "\n" << kUsage;
        return kUsageError;
    }
    if (request.help) {
        std::cout << kUsage;
        return 0;
    }
    if (request.version) {
        std::cout << "pelmprint " << PELMPRINT_VERSION << "\n";
        return 0;
    }
    return PrintAll(request);
}
