#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Runs a program with this process's standard handles and waits for it, but no longer than
// `limitMs`: a program still running then is ended. Without a program, the command line names it
// and is read as CreateProcess reads it, as written. Returns its exit code, or one of these.
inline constexpr DWORD kRunNotStarted = 256;
inline constexpr DWORD kRunStoppedAtLimit = WAIT_TIMEOUT;

DWORD RunWithTimeLimit(const std::wstring& program, std::wstring commandLine, DWORD limitMs);

// The command line that hands each argument over unchanged, the program first.
std::wstring CommandLineOf(const std::vector<std::wstring>& arguments);
