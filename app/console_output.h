#pragma once

#include <windows.h>

#include <cstddef>
#include <string_view>

// Writes text to standard output so that the user reads it intact: UTF-16 through WriteConsoleW
// on a console, UTF-8 with CR LF line ends when standard output is a pipe or a file. A process
// without standard output (detached, or closed by its parent) writes nothing and that is fine.
// Returns false only when an existing output refused the text.
bool WriteStandardOutput(std::wstring_view text);

// Writes text to a file or a pipe as UTF-8, each '\n' as CR LF.
bool WriteAsUtf8(HANDLE output, std::wstring_view text);

// How many code units of `text` one console write may take: at most `limit`, and never the high
// half of a surrogate pair without its low half.
std::size_t ConsoleChunkLength(std::wstring_view text, std::size_t limit);
