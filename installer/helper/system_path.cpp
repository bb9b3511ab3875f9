#include "installer/helper/system_path.h"

#include <windows.h>

#include <vector>

namespace {

std::wstring_view Bare(std::wstring_view entry) {
    if (entry.size() >= 2 && entry.front() == L'"' && entry.back() == L'"') {
        entry = entry.substr(1, entry.size() - 2);
    }
    if (entry.size() > 1 && entry.back() == L'\\') entry.remove_suffix(1);
    return entry;
}

bool SameIgnoringCase(std::wstring_view left, std::wstring_view right) {
    return CompareStringOrdinal(left.data(), static_cast<int>(left.size()), right.data(),
                                static_cast<int>(right.size()), TRUE) == CSTR_EQUAL;
}

std::wstring Expanded(std::wstring_view entry) {
    const std::wstring text(entry);
    const DWORD size = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (size == 0) return text;
    std::wstring expanded(size, L'\0');
    const DWORD written = ExpandEnvironmentStringsW(text.c_str(), expanded.data(), size);
    if (written == 0 || written > size) return text;
    expanded.resize(written - 1);
    return expanded;
}

// Where each entry starts and how long it is; n separators make n + 1 entries.
struct Entry {
    size_t start;
    size_t length;
};

std::vector<Entry> Entries(std::wstring_view path) {
    std::vector<Entry> entries;
    size_t start = 0;
    for (size_t end = path.find(L';'); end != std::wstring_view::npos;
         end = path.find(L';', start)) {
        entries.push_back({start, end - start});
        start = end + 1;
    }
    entries.push_back({start, path.size() - start});
    return entries;
}

}  // namespace

bool NamesFolder(std::wstring_view entry, std::wstring_view folder) {
    const std::wstring_view wanted = Bare(folder);
    return SameIgnoringCase(Bare(entry), wanted) || SameIgnoringCase(Bare(Expanded(entry)), wanted);
}

std::optional<std::wstring> PathWithFolder(std::wstring_view path, std::wstring_view folder) {
    for (const Entry& entry : Entries(path)) {
        if (NamesFolder(path.substr(entry.start, entry.length), folder)) return std::nullopt;
    }
    std::wstring result(path);
    if (result.empty()) {
        result = folder;
    } else if (result.back() == L';') {
        result.append(folder).push_back(L';');
    } else {
        result.append(L";").append(folder);
    }
    return result;
}

std::optional<std::wstring> PathWithoutFolder(std::wstring_view path, std::wstring_view folder) {
    const std::vector<Entry> entries = Entries(path);
    for (size_t index = entries.size(); index-- > 0;) {
        const Entry& entry = entries[index];
        if (!NamesFolder(path.substr(entry.start, entry.length), folder)) continue;
        std::wstring result(path);
        if (entries.size() == 1) {
            result.clear();
        } else if (index + 1 < entries.size()) {
            result.erase(entry.start, entry.length + 1);  // with the separator after it
        } else {
            result.erase(entry.start - 1, entry.length + 1);  // with the separator before it
        }
        return result;
    }
    return std::nullopt;
}
