#include "installer/helper/bounded_run.h"

#include "installer/helper/report.h"

namespace {

// Quotes one argument so that the C runtime's parser gives it back unchanged.
std::wstring Quoted(const std::wstring& argument) {
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (const wchar_t character : argument) {
        if (character == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        quoted.append(character == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted.push_back(character);
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

}  // namespace

std::wstring CommandLineOf(const std::vector<std::wstring>& arguments) {
    std::wstring commandLine;
    for (const std::wstring& argument : arguments) {
        commandLine += (commandLine.empty() ? L"" : L" ") + Quoted(argument);
    }
    return commandLine;
}

DWORD RunWithTimeLimit(const std::wstring& program, std::wstring commandLine, DWORD limitMs) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.empty() ? nullptr : program.c_str(), commandLine.data(), nullptr,
                        nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process)) {
        const DWORD error = GetLastError();
        Report(commandLine + L" could not be started (error " + std::to_wstring(error) + L").");
        return kRunNotStarted;
    }
    CloseHandle(process.hThread);
    DWORD exitCode = kRunStoppedAtLimit;
    if (WaitForSingleObject(process.hProcess, limitMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &exitCode);
    } else {
        TerminateProcess(process.hProcess, kRunStoppedAtLimit);
        WaitForSingleObject(process.hProcess, 10000);
        Report(commandLine + L" was still running after " + std::to_wstring(limitMs / 1000) +
               L" s and was ended.");
    }
    CloseHandle(process.hProcess);
    return exitCode;
}
