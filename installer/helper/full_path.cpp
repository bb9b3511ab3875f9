#include "installer/helper/full_path.h"

#include <windows.h>

std::wstring FullPath(const std::wstring& name) {
    const DWORD size = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
    if (size == 0) return {};
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(name.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) return {};
    full.resize(length);
    return full;
}

std::wstring FolderPath(std::wstring name) {
    if (name.size() > 2 && name.ends_with(L"\\.")) name.resize(name.size() - 1);
    // A drive's root keeps its backslash.
    if (name.size() > 3 && name.back() == L'\\') name.pop_back();
    return name;
}
