// The installer's and uninstaller's helper, installed beside light.exe:
//
//   setup-helper path-add <folder>                 exit 0 added, 1 already there, 2 left as it is
//   setup-helper path-remove <folder>              exit 0 removed, 1 not there, 2 left as it is
//   setup-helper run <milliseconds> <program> [argument]...
//                                                  the program's exit code, 256 if it did not
//                                                  start, 258 if it was ended at the limit
//   setup-helper uninstall [/LOG=<file>]          removes the installation it belongs to, and
//                                                  returns when all is gone: 0, or the failure;
//                                                  what it says is appended to the log too
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

#include "installer/helper/bounded_run.h"
#include "installer/helper/path_command.h"
#include "installer/helper/report.h"
#include "installer/helper/uninstall_command.h"

namespace {

constexpr int kUsage = 64;

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Runs elevated: no DLL may be picked up from its folder or the current one.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"path-add" && argc == 3) return AddToSystemPath(argv[2]);
    if (command == L"path-remove" && argc == 3) return RemoveFromSystemPath(argv[2]);
    if (command == L"uninstall" && argc == 2) return static_cast<int>(UninstallAndWait(L""));
    if (command == L"uninstall" && argc == 3 && _wcsnicmp(argv[2], L"/LOG=", 5) == 0) {
        ReportTo(argv[2] + 5);
        return static_cast<int>(UninstallAndWait(argv[2] + 5));
    }
    if (command == L"run" && argc >= 4) {
        wchar_t* end = nullptr;
        const unsigned long limitMs = std::wcstoul(argv[2], &end, 10);
        if (end != argv[2] && *end == L'\0') {
            const std::vector<std::wstring> arguments(argv + 3, argv + argc);
            return static_cast<int>(
                RunWithTimeLimit(arguments[0], CommandLineOf(arguments), limitMs));
        }
    }
    return kUsage;
}
