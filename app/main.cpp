#include <windows.h>

#include "app/front_end.h"

int wmain(int argc, wchar_t** argv) {
    // The program runs elevated: a DLL planted beside it or in the current directory must never
    // be loaded, so every later load searches System32 only.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    return RunEntry(argc, argv);
}
