#include <windows.h>

#include <iostream>

#include "app/console_output.h"
#include "app/front_end.h"

int wmain(int argc, wchar_t** argv) {
    ConsoleStreamBuf console(GetStdHandle(STD_OUTPUT_HANDLE));
    std::wstreambuf* const previous = std::wcout.rdbuf(&console);
    const ExitCode code = RunEntry(argc, argv);
    std::wcout.rdbuf(previous);
    return code;
}
