// Prints registry values exactly, which Wine's reg does not: its text is in the console's code
// page, and it shows neither a value's type nor its bytes. HKLM, 64-bit view.
//   registry_value <key> <name>...        each value on a line: a string up to its first NUL, a
//                                         REG_DWORD as 0x..., an empty line if missing
//   registry_value --raw <key> <name>...  each value's type number and data bytes in hex
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

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const bool raw = argc > 1 && std::wstring(argv[1]) == L"--raw";
    const int key = raw ? 2 : 1;
    if (argc < key + 2) return 2;
    std::wstring lines;
    for (int name = key + 1; name < argc; ++name) {
        const auto value = ReadRawValue(argv[key], argv[name]);
        lines += (value ? (raw ? Raw(*value) : Text(*value)) : L"") + L"\n";
    }
    // UTF-8, with CR LF line ends, as a redirected Windows program writes.
    return WriteStandardOutput(lines) ? 0 : 1;
}
