// Runs one command line exactly as written, as a deployment tool does (CreateProcess without an
// application name, this program's standard handles handed over, so that what it says is seen),
// waits for it and ends with its exit code. A shell or Wine would re-quote it.
//   run_command_line "<command line>"
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 255;
    std::wstring commandLine = argv[1];
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return 254;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 253;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(exitCode);
}
