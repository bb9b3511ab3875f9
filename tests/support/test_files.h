#pragma once

#include <string>

// Paths and files as the tests under Wine see them.
std::wstring SiblingPath(const std::wstring& fileName);
std::wstring NewTempFile(const std::wstring& prefix);
std::string ReadWholeFile(const std::wstring& path);
