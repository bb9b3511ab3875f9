#pragma once

#include <string>
#include <string_view>

// Writes `text` to `file`, replacing it, as UTF-16 (little-endian), which both Windows and NSIS
// read whatever the system's code page. Returns false, having said why, when it cannot.
bool WriteUtf16File(const std::wstring& file, std::wstring_view text);
