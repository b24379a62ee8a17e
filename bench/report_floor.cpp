// Prints one report file through PrintReportFile with an engine whose nine
// functions do nothing: what the report layer costs on its own (reading,
// paging, the calls), the floor under the whole print.
//
//   report_floor FILE
#include <cstdio>

#include "engine/pelm32.h"
#include "report/report_job.h"
#include "runtime/floating_point.h"

int32_t pmStartDoc(int32_t, const char*, const char*, int32_t, int32_t, int32_t, int32_t, int32_t) {
    return 1;
}
int32_t pmAddGraphic(int32_t, const char*) {
    return 1;
}
void pmFont(int32_t, int32_t, float, int32_t, const char*) {}
void pmText(int32_t, float, float, int32_t, const char*) {}
void pmPageNo(int32_t, float, float, int32_t, int32_t) {}
void pmPageCount(int32_t, float, float, int32_t, int32_t) {}
void pmDrawGraphic(int32_t, int32_t, float, float, float, float) {}
void pmNewPage(int32_t, int32_t, int32_t, int32_t) {}
void pmFinishDoc(int32_t, int32_t) {}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: report_floor FILE\n");
        return 2;
    }
    SetFloatingPointSettings();
    return PrintReportFile(DynamicString(argv[1])) == 0 ? 0 : 1;
}
