#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// One run of the built light.exe, as its caller sees it.
struct LightRun {
    DWORD exitCode = 0;  // the full 32-bit code: a crash shows as 0xC0000005, not as 5
    std::string output;  // standard output, as bytes
    std::string errors;  // standard error, as bytes
};

struct LightInvocation {
    std::vector<std::wstring> arguments;
    // What the program sees as argv[0]; the program started is always the built light.exe.
    std::wstring invocationPath = L"light.exe";
    // Start it with the limited token linked to this (elevated) process's token.
    bool limited = false;
    // Standard output: this inheritable handle (a console screen buffer, say) instead of a pipe.
    HANDLE output = nullptr;
};

// Runs light.exe to its end. A run that hangs is killed and fails the test.
LightRun RunLight(const LightInvocation& invocation);

// What `write` sends to this process's standard output, as bytes.
std::string CaptureStandardOutput(const std::function<void()>& write);

// A file next to the running test program.
std::wstring SiblingPath(const std::wstring& fileName);
