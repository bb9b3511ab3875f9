// Runs one command line exactly as written, as a deployment tool does (CreateProcess without an
// application name, this program's standard handles handed over, so that what it says is seen),
// waits for it and ends with its exit code. A shell or Wine would re-quote it.
//   run_command_line "<command line>"
#include <windows.h>

#include "installer/helper/bounded_run.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 255;
    return static_cast<int>(RunWithTimeLimit(L"", argv[1], INFINITE));
}
