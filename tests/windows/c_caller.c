/* The engine as a C program calls it: pelm32.h as installed (dllimport, and
   __stdcall on 32-bit Windows) and the import library. One page; exit
   status 0 once the engine has taken the document. */
#include <stdio.h>

#include "engine/pelm32.h"

int main(void) {
    const int32_t doc = pmStartDoc(0, "C caller", NULL, 0, 1, 0, 7, 0);
    if ((int16_t)doc <= 0) {
        fputs("c_caller: the engine started no document\n", stderr);
        return 1;
    }
    pmFont(doc, 0, 10.0f, 0, "Courier New");
    pmText(doc, 1.0f, 1.0f, 0, "Printed from C");
    pmPageNo(doc, 7.0f, 10.5f, 0, 0);
    pmFinishDoc(doc, 0);
    return 0;
}
