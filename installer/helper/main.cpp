// The installer's and uninstaller's helper, installed beside light.exe:
//
//   setup-helper path-add <folder>                 exit 0 added, 1 already there, 2 left as it is
//   setup-helper path-remove <folder>              exit 0 removed, 1 not there, 2 left as it is
//   setup-helper run <milliseconds> <program> [argument]...
//                                                  the program's exit code, 256 if it did not
//                                                  start, 258 if it was ended at the limit
//   setup-helper uninstall [/LOG=<file>]          removes the installation it belongs to, and
//                                                  returns when all is gone: 0; 2 refused; 4 a
//                                                  step failed; what it says is appended to the
//                                                  log too
// Commands and options are read in any letter case.
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

#include "installer/helper/bounded_run.h"
#include "installer/helper/path_command.h"
#include "installer/helper/uninstall_command.h"

namespace {

constexpr int kUsage = 64;

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Runs elevated: no DLL may be picked up from its folder or the current one.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    const auto is = [&](const wchar_t* command) {
        return argc > 1 && _wcsicmp(argv[1], command) == 0;
    };
    if (is(L"path-add") && argc == 3) return AddToSystemPath(argv[2]);
    if (is(L"path-remove") && argc == 3) return RemoveFromSystemPath(argv[2]);
    if (is(L"uninstall")) {
        return static_cast<int>(UninstallCommand(std::vector<std::wstring>(argv + 2, argv + argc)));
    }
    if (is(L"run") && argc >= 4) {
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
