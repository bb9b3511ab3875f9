#include "tests/support/light_run.h"

#include <gtest/gtest.h>

#include "installer/helper/bounded_run.h"

namespace {

constexpr DWORD kRunTimeoutMs = 15000;

HANDLE LimitedToken() {
    HANDLE own = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &own)) return nullptr;
    TOKEN_LINKED_TOKEN linked{};
    DWORD length = 0;
    const BOOL ok = GetTokenInformation(own, TokenLinkedToken, &linked, sizeof(linked), &length);
    CloseHandle(own);
    return ok ? linked.LinkedToken : nullptr;
}

// Once the program has ended, all it wrote is in the pipe, whoever else still holds the pipe's
// other end: read that much and never wait for the end of the stream.
std::string ReadAvailable(HANDLE pipe) {
    DWORD available = 0;
    DWORD read = 0;
    PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr);
    std::string bytes(available, '\0');
    if (available > 0 && !ReadFile(pipe, bytes.data(), available, &read, nullptr)) read = 0;
    bytes.resize(read);
    return bytes;
}

}  // namespace

std::string CaptureStandardOutput(const std::function<void()>& write) {
    HANDLE read = nullptr, written = nullptr;
    if (!CreatePipe(&read, &written, nullptr, 1 << 20)) return "(no pipe)";
    const HANDLE previous = GetStdHandle(STD_OUTPUT_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, written);
    write();
    SetStdHandle(STD_OUTPUT_HANDLE, previous);
    CloseHandle(written);
    std::string bytes = ReadAvailable(read);
    CloseHandle(read);
    return bytes;
}

std::wstring SiblingPath(const std::wstring& fileName) {
    wchar_t module[MAX_PATH * 2] = {};
    const std::wstring path(module, GetModuleFileNameW(nullptr, module, MAX_PATH * 2));
    return path.substr(0, path.find_last_of(L"\\/") + 1) + fileName;
}

LightRun RunLight(const LightInvocation& invocation) {
    LightRun run{0xFFFFFFFF, {}, {}};
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    // Pipes large enough that the program never waits for a reader.
    const bool piped = CreatePipe(&outRead, &outWrite, &inheritable, 1 << 20) &&
                       CreatePipe(&errRead, &errWrite, &inheritable, 1 << 20);
    std::vector<std::wstring> arguments = {invocation.invocationPath};
    arguments.insert(arguments.end(), invocation.arguments.begin(), invocation.arguments.end());
    std::wstring commandLine = CommandLineOf(arguments);
    const std::wstring program = SiblingPath(L"light.exe");
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = invocation.output ? invocation.output : outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process{};
    HANDLE token = invocation.limited ? LimitedToken() : nullptr;
    // Without a token the program gets this process's own, elevated one.
    const BOOL started =
        piped && (token || !invocation.limited) &&
        CreateProcessAsUserW(token, program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                             nullptr, nullptr, &startup, &process);
    const DWORD startError = started ? 0 : GetLastError();
    for (HANDLE handle : {token, outWrite, errWrite}) {
        if (handle) CloseHandle(handle);
    }
    if (!started) {
        ADD_FAILURE() << "light.exe did not start: error " << startError;
    } else {
        if (WaitForSingleObject(process.hProcess, kRunTimeoutMs) == WAIT_TIMEOUT) {
            ADD_FAILURE() << "light.exe hung; killed after " << kRunTimeoutMs << " ms";
            TerminateProcess(process.hProcess, WAIT_TIMEOUT);
            WaitForSingleObject(process.hProcess, INFINITE);
        }
        GetExitCodeProcess(process.hProcess, &run.exitCode);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        run.output = ReadAvailable(outRead);
        run.errors = ReadAvailable(errRead);
    }
    for (HANDLE handle : {outRead, errRead}) {
        if (handle) CloseHandle(handle);
    }
    return run;
}
