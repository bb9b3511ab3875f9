// Prints registry values exactly, which Wine's reg does not: its text is in the console's code
// page, and it shows neither a value's type nor its bytes. HKLM, 64-bit view.
//   registry_value <key> <name>...        each value on a line: a string up to its first NUL, a
//                                         REG_DWORD as 0x..., an empty line if missing
//   registry_value --raw <key> <name>...  each value's type number and data bytes in hex
//   registry_value --tree <key>           the key's values and keys, all the way down
//   registry_value <any of these> --text <key> <name>...   each in turn, in one run
//   registry_value --apply <change>...    writes or deletes values and keys (Apply, below)
#include <windows.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "app/console_output.h"
#include "tests/support/registry.h"

namespace {

std::wstring Text(const RawValue& value) {
    if (value.type == REG_DWORD && value.data.size() == 4) {
        DWORD number = 0;
        std::memcpy(&number, value.data.data(), sizeof(number));
        wchar_t text[16];
        std::swprintf(text, 16, L"0x%lx", number);
        return text;
    }
    std::wstring text(value.data.size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), value.data.data(), text.size() * sizeof(wchar_t));
    return text.substr(0, text.find(L'\0'));
}

std::wstring Raw(const RawValue& value) {
    std::wstring hex = std::to_wstring(value.type) + L" ";
    for (const BYTE byte : value.data) {
        wchar_t digits[3];
        std::swprintf(digits, 3, L"%02x", byte);
        hex += digits;
    }
    return hex;
}

// A key's values and keys, all the way down, one line each, for comparing two states.
std::wstring Tree(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0,
                      KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_WOW64_64KEY,
                      &key) != ERROR_SUCCESS) {
        return L"";
    }
    std::wstring lines = path + L"\\\n";
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (RegEnumValueW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        const auto value = ReadRawValue(path.c_str(), name);
        lines += path + L"\\" + name + L" " + (value ? Raw(*value) : L"?") + L"\n";
    }
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        lines += Tree(path + L"\\" + name);
    }
    RegCloseKey(key);
    return lines;
}

// One change: "<key>|<name>|<text>" writes a string, "<key>|<name>" deletes the value, "<key>|"
// deletes the key and all it holds, and "<key>|?" deletes it if it holds nothing, as Windows
// Installer's rollback deletes a key it made once it is empty.
bool Apply(const std::wstring& change) {
    const size_t bar = change.find(L'|');
    const size_t second = change.find(L'|', bar + 1);
    if (bar == std::wstring::npos) return false;
    const std::wstring path = change.substr(0, bar);
    const std::wstring name = change.substr(bar + 1, second - bar - 1);
    DWORD keys = 0;
    DWORD values = 0;
    HKEY key = nullptr;
    if (name == L"?" && RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key) ==
                            ERROR_SUCCESS) {
        RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &keys, nullptr, nullptr, &values, nullptr,
                         nullptr, nullptr, nullptr);
        RegCloseKey(key);
    }
    if (name.empty() || (name == L"?" && keys == 0 && values == 0)) {
        const LSTATUS status = RegDeleteTreeW(HKEY_LOCAL_MACHINE, path.c_str());
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
    }
    if (name == L"?") return true;
    if (second == std::wstring::npos) {
        const LSTATUS status = RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, path.c_str(), name.c_str());
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
    }
    const std::wstring text = change.substr(second + 1);
    return RegSetKeyValueW(HKEY_LOCAL_MACHINE, path.c_str(), name.c_str(), REG_SZ, text.c_str(),
                           static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc > 1 && std::wstring(argv[1]) == L"--apply") {
        bool applied = true;
        for (int change = 2; change < argc; ++change) applied = Apply(argv[change]) && applied;
        return applied ? 0 : 1;
    }
    // One after another, in one run: each "--tree <key>", or "[--raw|--text] <key> <name>..." up
    // to the next argument that begins with "--".
    std::wstring lines;
    for (int at = 1; at < argc;) {
        const bool tree = std::wstring(argv[at]) == L"--tree";
        const bool raw = std::wstring(argv[at]) == L"--raw";
        const int key = at + (tree || raw || std::wstring(argv[at]) == L"--text" ? 1 : 0);
        if (key >= argc || (!tree && key + 1 >= argc)) return 2;
        if (tree) lines += Tree(argv[key]);
        for (at = key + 1; !tree && at < argc && std::wcsncmp(argv[at], L"--", 2) != 0; ++at) {
            const auto value = ReadRawValue(argv[key], argv[at]);
            lines += (value ? (raw ? Raw(*value) : Text(*value)) : L"") + L"\n";
        }
    }
    // UTF-8, with CR LF line ends, as a redirected Windows program writes.
    return WriteStandardOutput(lines) ? 0 : 1;
}
