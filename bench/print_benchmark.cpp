// Prints generated report files end to end through PrintReportFile and the
// print engine, headless, and the same text through two classic text-to-PDF
// pipelines, and prints for each: seconds, peak memory and PDF size, with
// our ratio to each peer. Beside the whole print it shows the report layer
// alone (report_floor, an engine that does nothing), the floor under it.
//
//   print_benchmark [LINES ...]       default: 10000 100000 1000000
//
// Run it in a folder holding Logo.bmp and watermark.bmp (examples/).
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <string>
#include <vector>

#include "report/report_job.h"
#include "runtime/floating_point.h"

namespace fs = std::filesystem;

namespace {

struct Figures {
    bool ok = false;
    double seconds = 0;
    long peakKilobytes = 0;
    long pages = 0;
    std::uintmax_t pdfBytes = 0;
};

// About 70 characters a line, CR LF in the report file, LF in the copy for the peers.
void WriteReport(const fs::path& crlf, const fs::path& lf, long lines) {
    std::ofstream a(crlf, std::ios::binary);
    std::ofstream b(lf, std::ios::binary);
    char line[96];
    for (long i = 1; i <= lines; ++i) {
        int n = std::snprintf(line, sizeof line,
                              "%08ld  Invoice %06ld  Customer account %05ld  Amount %10.2f EUR", i,
                              i * 7 % 1000000, i % 99991, (i % 100000) * 1.37);
        a.write(line, n).write("\r\n", 2);
        b.write(line, n).write("\n", 1);
    }
}

// Lines in many scripts: a third right to left (Hebrew, Arabic), a third
// Indic and Thai, a third CJK, each with a number, so every line is shaped
// or fitted to the grid.
void WriteMixedReport(const fs::path& crlf, long lines) {
    static const char* const kWords[] = {
        "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D \xD7\xA2\xD7\x95\xD7\x9C\xD7\x9D",
        "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7 "
        "\xD8\xA8\xD8\xA7\xD9\x84\xD8\xB9\xD8\xA7\xD9\x84\xD9\x85",
        "\xE0\xA4\xA8\xE0\xA4\xAE\xE0\xA4\xB8\xE0\xA5\x8D\xE0\xA4\xA4\xE0\xA5\x87 "
        "\xE0\xA4\xB9\xE0\xA4\xBF\xE0\xA4\xA8\xE0\xA5\x8D\xE0\xA4\xA6\xE0\xA5\x80",
        "\xE0\xB8\xAA\xE0\xB8\xA7\xE0\xB8\xB1\xE0\xB8\xAA\xE0\xB8\x94\xE0\xB8\xB5",
        "\xE7\x94\xB5\xE6\xBA\x90\xE7\xBA\xBF 1.5 \xE7\xB1\xB3",
        "\xE5\xA0\xB1\xE5\x91\x8A\xE6\x9B\xB8",
    };
    std::ofstream out(crlf, std::ios::binary);
    for (long i = 1; i <= lines; ++i) {
        out << std::setw(8) << std::setfill('0') << i << "  " << kWords[i % 6] << "  "
            << kWords[(i / 6) % 6] << "  " << i * 7 % 100000 << "\r\n";
    }
}

long PdfPages(const fs::path& pdf) {
    std::string command = "pdfinfo '" + pdf.string() + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return 0;
    }
    long pages = 0;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        std::sscanf(buffer, "Pages: %ld", &pages);
    }
    pclose(pipe);
    return pages;
}

// Runs work in a child process of its own, so that its peak memory is its
// own (for a pipeline: the largest of its processes); a pdf of "" is none.
template <typename Work>
Figures Measure(const fs::path& pdf, Work work) {
    Figures figures;
    auto start = std::chrono::steady_clock::now();
    pid_t child = fork();
    if (child == 0) {
        std::_Exit(work());
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child) {
        return figures;
    }
    figures.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    figures.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && (pdf.empty() || fs::exists(pdf));
    if (figures.ok && !pdf.empty()) {
        figures.pdfBytes = fs::file_size(pdf);
        figures.pages = PdfPages(pdf);
    }
    figures.peakKilobytes = usage.ru_maxrss;
    return figures;
}

// A shell pipeline; wait4 in Measure reports the largest of its processes.
int RunShell(const std::string& command) {
    pid_t shell = fork();
    if (shell == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    int status = 0;
    waitpid(shell, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

Figures PrintOurs(const fs::path& report, const fs::path& outputDir) {
    setenv("PELM32_OUTPUT_DIR", outputDir.c_str(), 1);
    setenv("PELM32_PREVIEW", "0", 1);
    return Measure(outputDir / "Hestrel PELM Demo.pdf", [&] {
        SetFloatingPointSettings();
        return PrintReportFile(DynamicString(report.c_str())) == 0 ? 0 : 1;
    });
}

Figures PrintFloor(const fs::path& report) {
    fs::path floor = fs::read_symlink("/proc/self/exe").parent_path() / "report_floor";
    return Measure("", [&] {
        execl(floor.c_str(), floor.c_str(), report.c_str(), static_cast<char*>(nullptr));
        return 127;
    });
}

Figures PrintPeer(const std::string& toPostScript, const fs::path& text, const fs::path& pdf) {
    std::string command =
        toPostScript + " '" + text.string() + "' 2>/dev/null | ps2pdf - '" + pdf.string() + "'";
    return Measure(pdf, [&] { return RunShell(command); });
}

void PrintRow(const char* name, const Figures& f, const Figures* ours) {
    if (!f.ok) {
        std::printf("  %-18s failed (is it installed?)\n", name);
        return;
    }
    std::printf("  %-18s %8.2f s %8.1f MB peak %8.2f MB PDF %6ld pages", name, f.seconds,
                f.peakKilobytes / 1024.0, f.pdfBytes / 1048576.0, f.pages);
    if (ours != nullptr && ours->ok) {
        // Ours against this peer: below 1 is better for every figure.
        std::printf("   ours: %.2fx the time, %.2fx the memory, %.2fx the size",
                    ours->seconds / f.seconds,
                    static_cast<double>(ours->peakKilobytes) / f.peakKilobytes,
                    static_cast<double>(ours->pdfBytes) / f.pdfBytes);
    }
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<long> sizes;
    for (int i = 1; i < argc; ++i) {
        sizes.push_back(std::atol(argv[i]));
    }
    if (sizes.empty()) {
        sizes = {10000, 100000, 1000000};
    }
    fs::path work = fs::temp_directory_path() / ("print-benchmark-" + std::to_string(getpid()));
    fs::create_directories(work);
    for (long lines : sizes) {
        fs::path report = work / "report.txt";
        fs::path copy = work / "report-lf.txt";
        WriteReport(report, copy, lines);
        fs::path ourDir = work / "ours";
        fs::remove_all(ourDir);
        fs::create_directories(ourDir);

        std::printf("%ld lines of about 70 characters\n", lines);
        Figures ours = PrintOurs(report, ourDir);
        PrintRow("PrintReportFile", ours, nullptr);
        Figures floor = PrintFloor(report);
        if (floor.ok) {
            // Its peak memory would be this program's own, from before the exec.
            std::printf("  %-18s %8.2f s   (an engine that does nothing)\n", "report layer alone",
                        floor.seconds);
        } else {
            std::printf("  %-18s failed\n", "report layer alone");
        }
        Figures enscript = PrintPeer("enscript -q -B -o -", copy, work / "enscript.pdf");
        PrintRow("enscript | ps2pdf", enscript, &ours);
        Figures a2ps = PrintPeer("a2ps -q -1 -B -o -", copy, work / "a2ps.pdf");
        PrintRow("a2ps | ps2pdf", a2ps, &ours);
        std::fflush(stdout);
    }
    const long mixed = 100000;
    WriteMixedReport(work / "mixed.txt", mixed);
    fs::create_directories(work / "mixed");
    std::printf("%ld lines in Hebrew, Arabic, Devanagari, Thai and CJK\n", mixed);
    PrintRow("PrintReportFile", PrintOurs(work / "mixed.txt", work / "mixed"), nullptr);
    fs::remove_all(work);
    return 0;
}
