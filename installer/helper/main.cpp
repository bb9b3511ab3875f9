// The installers' and the uninstaller's helper, installed beside light.exe:
//
//   setup-helper path-add <folder> [/RECORD]      exit 0 added, 1 already there, 2 left as it is;
//                                                  /RECORD: remember the folder it added
//   setup-helper path-remove <folder>             exit 0 removed, 1 not there, 2 left as it is
//   setup-helper path-remove /RECORDED            the folder path-add remembered, then forgets
//                                                  it: exit 0 removed or none, 2 left as it is
//   setup-helper task-register <folder>           registers the task for <folder>: exit 0, or 1
//   setup-helper task-stop <folder>               ends a run of the task, and waits for
//                                                  <folder>'s light.exe to end: exit 0, or 1
//   setup-helper task-delete <folder>             ends it so, and deletes the task: exit 0, or 1
//   setup-helper task-definition <folder> <file>  writes the definition task-register registers
//                                                  to <file>: exit 0, or 1
//   setup-helper check-folder <folder> <Program Files> [<installed folder>]
//                                                  exit 0, or the problem (install_folder.h)
//   setup-helper check-brightness <text>          exit 0 a brightness option, 1 not
//   setup-helper switches setup|uninstall <file>  reads the installer's or the uninstaller's
//                                                  command line, which LIGHT_COMMAND_LINE holds,
//                                                  and writes to <file>, UTF-16, the switches
//                                                  taken, then why it is refused: exit 0, 2
//                                                  refused, 1 the file cannot be written
//   setup-helper run <milliseconds> <program> [argument]...
//                                                  the program's exit code, 256 if it did not
//                                                  start, 258 if it was ended at the limit
//   setup-helper uninstall [/LOG=<file>]          removes the installation it belongs to, once
//                                                  no other installation of Light runs, and
//                                                  returns when all is gone: 0; 2 refused; 4 a
//                                                  step failed, or another installation did not
//                                                  end in time; what it says is appended to the
//                                                  log too
// Commands and options are read in any letter case; a folder may be given with a trailing
// backslash or "\." (as Windows Installer writes one), and a /LOG= file relative to the current
// folder. A command that runs out of memory ends with 4.
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

#include "installer/helper/bounded_run.h"
#include "installer/helper/brightness_option.h"
#include "installer/helper/full_path.h"
#include "installer/helper/install_folder.h"
#include "installer/helper/path_command.h"
#include "installer/helper/setup_switches.h"
#include "installer/helper/task_definition.h"
#include "installer/helper/uninstall_command.h"
#include "installer/helper/utf16_file.h"

namespace {

constexpr int kUsage = 64;
constexpr int kFailed = 4;

bool Same(const wchar_t* argument, const wchar_t* word) {
    return _wcsicmp(argument, word) == 0;
}

// The installers' command lines come through the environment: an NSIS string, which an argument
// would have to go through, holds 1,024 characters at most.
int WriteSwitches(SwitchSet set, const std::wstring& file) {
    std::wstring commandLine(GetEnvironmentVariableW(L"LIGHT_COMMAND_LINE", nullptr, 0), L'\0');
    if (commandLine.empty()) return kUsage;
    commandLine.resize(GetEnvironmentVariableW(L"LIGHT_COMMAND_LINE", commandLine.data(),
                                               static_cast<DWORD>(commandLine.size())));
    const SwitchReading reading = ReadSwitches(commandLine, set);
    if (!WriteUtf16File(file, reading.taken + L"\r\n" + reading.refusal + L"\r\n")) return 1;
    return reading.refusal.empty() ? 0 : 2;
}

int Run(int argc, wchar_t** argv) {
    const std::vector<std::wstring> arguments(argv + 1, argv + argc);
    const auto is = [&](const wchar_t* command, size_t count) {
        return arguments.size() == count && Same(argv[1], command);
    };
    if (is(L"path-add", 2)) return AddToSystemPath(FolderPath(arguments[1]));
    if (is(L"path-add", 3) && Same(argv[3], L"/RECORD")) {
        return AddToSystemPathRecorded(FolderPath(arguments[1]));
    }
    if (is(L"path-remove", 2) && Same(argv[2], L"/RECORDED")) {
        // For Windows Installer, which takes any exit code but 0 for a failure.
        return RemoveRecordedFromSystemPath() == PathLeftAsItIs ? PathLeftAsItIs : PathChanged;
    }
    if (is(L"path-remove", 2)) return RemoveFromSystemPath(FolderPath(arguments[1]));
    if (is(L"task-register", 2)) return static_cast<int>(RegisterTask(FolderPath(arguments[1])));
    if (is(L"task-stop", 2)) return static_cast<int>(StopTask(FolderPath(arguments[1])));
    if (is(L"task-delete", 2)) return static_cast<int>(DeleteTask(FolderPath(arguments[1])));
    if (is(L"task-definition", 3)) {
        return static_cast<int>(WriteTaskDefinition(FolderPath(arguments[1]), arguments[2]));
    }
    if (is(L"check-folder", 3) || is(L"check-folder", 4)) {
        return static_cast<int>(InstallFolderProblem(
            FolderPath(arguments[1]), FolderPath(arguments[2]),
            arguments.size() == 4 && !arguments[3].empty() ? FolderPath(arguments[3]) : L""));
    }
    if (is(L"check-brightness", 2)) return IsBrightnessOption(arguments[1]) ? 0 : 1;
    if (is(L"switches", 3) && (Same(argv[2], L"setup") || Same(argv[2], L"uninstall"))) {
        return WriteSwitches(
            Same(argv[2], L"setup") ? SwitchSet::Installer : SwitchSet::Uninstaller, arguments[2]);
    }
    if (!arguments.empty() && Same(argv[1], L"uninstall")) {
        return static_cast<int>(
            UninstallCommand(std::vector<std::wstring>(arguments.begin() + 1, arguments.end())));
    }
    if (arguments.size() >= 3 && Same(argv[1], L"run")) {
        wchar_t* end = nullptr;
        const unsigned long limitMs = std::wcstoul(argv[2], &end, 10);
        if (end != argv[2] && *end == L'\0') {
            const std::vector<std::wstring> program(arguments.begin() + 2, arguments.end());
            return static_cast<int>(RunWithTimeLimit(program[0], CommandLineOf(program), limitMs));
        }
    }
    return kUsage;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Runs elevated: no DLL may be picked up from its folder or the current one.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    try {
        return Run(argc, argv);
    } catch (...) {
        // Memory ran out (nothing else here throws): a failed step, to be tried again, and no
        // command's answer (1 to 3 are check-folder's problems, which a crash's 3 would fake).
        return kFailed;
    }
}
