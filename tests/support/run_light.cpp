#include "tests/support/run_light.h"

#include "tests/support/test_files.h"

namespace {

constexpr DWORD kRunTimeoutMs = 30000;

// Quotes one argument the way the C runtime splits a command line.
std::wstring Quoted(const std::wstring& argument) {
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (const wchar_t character : argument) {
        if (character == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(character == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted.push_back(character);
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

HANDLE LimitedToken() {
    HANDLE own = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &own)) return nullptr;
    TOKEN_LINKED_TOKEN linked{};
    DWORD length = 0;
    const BOOL ok = GetTokenInformation(own, TokenLinkedToken, &linked, sizeof(linked), &length);
    CloseHandle(own);
    return ok ? linked.LinkedToken : nullptr;
}

std::string Drain(HANDLE pipe) {
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(pipe, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    return bytes;
}

}  // namespace

LightRun RunLight(const LightInvocation& invocation) {
    LightRun run;
    run.exitCode = 0xFFFFFFFF;
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    // Pipes large enough that the child never blocks before it exits.
    CreatePipe(&outRead, &outWrite, &inheritable, 1 << 20);
    CreatePipe(&errRead, &errWrite, &inheritable, 1 << 20);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);

    std::wstring commandLine = Quoted(invocation.invocationPath);
    for (const auto& argument : invocation.arguments) commandLine += L" " + Quoted(argument);
    const std::wstring program = SiblingPath(L"light.exe");

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process{};
    BOOL started = FALSE;
    if (invocation.limited) {
        HANDLE token = LimitedToken();
        started =
            token && CreateProcessAsUserW(token, program.c_str(), commandLine.data(), nullptr,
                                          nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
        if (token) CloseHandle(token);
    } else {
        started = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                 nullptr, nullptr, &startup, &process);
    }
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    if (started) {
        // A hung program is a failure to report, not a reason to hang the suite.
        if (WaitForSingleObject(process.hProcess, kRunTimeoutMs) == WAIT_TIMEOUT) {
            TerminateProcess(process.hProcess, WAIT_TIMEOUT);
            WaitForSingleObject(process.hProcess, INFINITE);
        }
        GetExitCodeProcess(process.hProcess, &run.exitCode);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        run.output = Drain(outRead);
        run.errors = Drain(errRead);
    }
    CloseHandle(outRead);
    CloseHandle(errRead);
    return run;
}
