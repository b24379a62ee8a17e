// The program: start-up hands over to the main dialog and ends the process.
#include "app/main_dialog.h"
#include "runtime/program_entry.h"

int main() {
    ProgramEntry(AppMain);
}
