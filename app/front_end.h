#pragma once

#include <string>
#include <string_view>

#include "app/exit_codes.h"

// The program's entry: argc/argv as the C runtime hands them over, argv[0] being the invocation
// path. Tolerates argc == 0 and a null argv.
ExitCode RunEntry(int argc, const wchar_t* const* argv);

// The text after the last '\' or '/' of the invocation path.
std::wstring ProgramNameFromPath(std::wstring_view invocationPath);

bool IsProcessElevated();
void PrintUsage();
ExitCode RunSetCommand(const std::wstring& argument);
ExitCode RunRestoreCommand();
