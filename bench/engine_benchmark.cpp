// Times the print engine alone, driven through its nine functions in the
// order the report job calls them. Prints seconds, peak memory and PDF size.
//
//   engine_benchmark LINES      a generated report of LINES lines
//   engine_benchmark -f FILE    the lines of FILE (CR or CR LF ends a line)
//
// Run it in a folder holding Logo.bmp and watermark.bmp; the PDF goes to
// PELM32_OUTPUT_DIR or the current folder.
#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/pelm32.h"

namespace {

constexpr float kPitch = 1.0f / 6.0f;

struct Job {
    int32_t doc = 0;
    int32_t logo = 0;
    int32_t watermark = 0;
    int lineCounter = 0;
    float currentY = 0;
};

void Font(const Job& job, float size) {
    pmFont(job.doc, 1, size, 0, "Courier New");
}

void PageHeader(Job& job) {
    Font(job, 16.0f);
    for (float x = 0.5f; x <= 6.5f; x += 3.0f) {
        for (float y = 0.5f; y <= 9.5f; y += 3.0f) {
            pmDrawGraphic(job.doc, job.watermark, x, y, x + 0.5f, y + 0.5f);
        }
    }
    pmDrawGraphic(job.doc, job.logo, 0.5f, 0.5f, 2.0f, 2.0f);
    job.currentY = 0.5f;
    for (const char* text : {"First Line of Page Header", "Second Line of Page Header",
                             "Run Date and Time or Whatever"}) {
        pmText(job.doc, 2.5f, job.currentY, 0, text);
        job.currentY = static_cast<float>(double(kPitch) + job.currentY + 0.2);
    }
    job.lineCounter = 10;
    job.currentY = static_cast<float>(job.currentY + 2.0 * (0.2 + double(kPitch)));
}

void PageNumbering(const Job& job) {
    pmText(job.doc, 6.25f, 0.5f, 0, "Page ");
    pmPageNo(job.doc, 7.0f, 0.5f, 0, 0);
    pmText(job.doc, 7.3f, 0.5f, 0, "of ");
    pmPageCount(job.doc, 7.8f, 0.5f, 0, 0);
}

void NewPage(Job& job) {
    pmNewPage(job.doc, 1, 0, 7);
    PageHeader(job);
    PageNumbering(job);
    Font(job, 10.0f);
}

bool IsMarker(const std::string& line) {
    const size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos) {
        return false;
    }
    const size_t last = line.find_last_not_of(' ');
    return line.compare(first, last - first + 1, ".PAGE.") == 0;
}

void Line(Job& job, const std::string& line) {
    const bool marker = IsMarker(line);
    if (job.lineCounter > 60 || marker) {
        NewPage(job);
    }
    if (marker) {
        return;
    }
    pmText(job.doc, 0.5f, job.currentY, 0, line.empty() ? nullptr : line.c_str());
    ++job.lineCounter;
    job.currentY = static_cast<float>(double(job.currentY) + kPitch);
}

std::string GeneratedLine(long number) {
    char buffer[160];
    std::snprintf(buffer, sizeof buffer,
                  "%08ld  ACCOUNT %06ld  Stock movement posted  QTY %7ld  VALUE %10.2f  OK", number,
                  number % 999983, (number * 37) % 100000, (number % 77777) * 1.25);
    return buffer;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s LINES | -f FILE\n", argv[0]);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    Job job;
    job.doc = pmStartDoc(0, "Hestrel PELM Demo", nullptr, 0, 1, 0, 7, 8);
    if (job.doc <= 0) {
        std::fprintf(stderr, "pmStartDoc failed: %d\n", job.doc);
        return 1;
    }
    job.logo = pmAddGraphic(job.doc, "Logo.bmp");
    job.watermark = pmAddGraphic(job.doc, "watermark.bmp");
    Font(job, 10.0f);
    PageHeader(job);
    PageNumbering(job);
    Font(job, 10.0f);
    job.lineCounter = 8;
    long lines = 0;
    if (std::strcmp(argv[1], "-f") == 0 && argc > 2) {
        std::ifstream in(argv[2], std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        size_t at = 0;
        while (at < text.size()) {
            size_t end = text.find('\r', at);
            if (end == std::string::npos) {
                end = text.size();
            }
            Line(job, text.substr(at, end - at));
            ++lines;
            at = end + 1;
            if (at < text.size() && text[at] == '\n') {
                ++at;
            }
        }
    } else {
        lines = std::atol(argv[1]);
        for (long i = 1; i <= lines; ++i) {
            Line(job, GeneratedLine(i));
        }
    }
    Font(job, 16.0f);
    job.currentY = static_cast<float>(double(job.currentY) + kPitch);
    pmText(job.doc, 2.0f, job.currentY, 0, "** END OF REPORT **");
    const auto spooled = std::chrono::steady_clock::now();
    pmFinishDoc(job.doc, 4);
    const auto done = std::chrono::steady_clock::now();

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](auto a, auto b) {
        return std::chrono::duration<double>(b - a).count();
    };
    std::printf("lines %ld  spool %.2f s  render %.2f s  total %.2f s  peak RSS %.1f MB\n", lines,
                seconds(start, spooled), seconds(spooled, done), seconds(start, done),
                usage.ru_maxrss / 1024.0);
    return 0;
}
