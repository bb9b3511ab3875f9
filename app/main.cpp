#include <windows.h>

#include <iostream>

#include "app/console_output.h"
#include "app/front_end.h"

int wmain(int argc, wchar_t** argv) {
    // The program runs elevated: a DLL planted beside it or in the current directory must never
    // be loaded, so every later load searches System32 only.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

    ConsoleStreamBuf console(GetStdHandle(STD_OUTPUT_HANDLE));
    std::wstreambuf* const previous = std::wcout.rdbuf(&console);
    const ExitCode code = RunEntry(argc, argv);
    std::wcout.rdbuf(previous);
    return code;
}
