// Prints values of a key under HKLM (64-bit view) for the shell checks, exactly: Wine's reg
// shows text in the console's code page, and neither a value's type nor its bytes.
//   registry_value <key> <name>...        each value on a line: a string up to its first NUL, as
//                                         UTF-8, a REG_DWORD as 0x..., an empty line if missing
//   registry_value --raw <key> <name>...  each value's type number and data bytes in hex
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "tests/support/registry.h"

namespace {

std::string Text(const RawValue& value) {
    if (value.type == REG_DWORD && value.data.size() == 4) {
        DWORD number = 0;
        std::memcpy(&number, value.data.data(), sizeof(number));
        char text[16];
        std::snprintf(text, sizeof(text), "0x%lx", number);
        return text;
    }
    const std::wstring wide(reinterpret_cast<const wchar_t*>(value.data.data()),
                            value.data.size() / sizeof(wchar_t));
    const std::wstring text = wide.substr(0, wide.find(L'\0'));
    const int length = static_cast<int>(text.size());
    std::string utf8(static_cast<size_t>(length) * 3, '\0');
    utf8.resize(static_cast<size_t>(WideCharToMultiByte(
        CP_UTF8, 0, text.data(), length, utf8.data(), length * 3, nullptr, nullptr)));
    return utf8;
}

std::string Raw(const RawValue& value) {
    std::string hex = std::to_string(value.type) + " ";
    for (const BYTE byte : value.data) {
        char digits[3];
        std::snprintf(digits, sizeof(digits), "%02x", byte);
        hex += digits;
    }
    return hex;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const bool raw = argc > 1 && std::wstring(argv[1]) == L"--raw";
    const int first = raw ? 2 : 1;
    if (argc < first + 2) return 2;
    std::string lines;
    for (int name = first + 1; name < argc; ++name) {
        const auto value = ReadRawValue(argv[first], argv[name]);
        lines += (value ? (raw ? Raw(*value) : Text(*value)) : "") + "\n";
    }
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), lines.data(), static_cast<DWORD>(lines.size()),
              &written, nullptr);
    return 0;
}
