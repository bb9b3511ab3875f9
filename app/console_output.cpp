#include "app/console_output.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace {

// Console hosts before Windows 8 refuse a single write much longer than this.
constexpr std::size_t kConsoleChunk = 8192;

bool WriteToConsole(HANDLE console, std::wstring_view text) {
    while (!text.empty()) {
        const DWORD chunk = static_cast<DWORD>(ConsoleChunkLength(text, kConsoleChunk));
        DWORD written = 0;
        if (!WriteConsoleW(console, text.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        text.remove_prefix(std::min<std::size_t>(written, text.size()));
    }
    return true;
}

}  // namespace

// A redirected Windows console program ends its lines with CR LF.
bool WriteAsUtf8(HANDLE output, std::wstring_view text) {
    std::wstring lines;
    lines.reserve(text.size() + 8);
    for (const wchar_t character : text) {
        if (character == L'\n') lines.push_back(L'\r');
        lines.push_back(character);
    }
    const int wideLength = static_cast<int>(lines.size());
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, lines.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return false;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, lines.data(), wideLength, bytes.data(), size, nullptr, nullptr);
    const char* next = bytes.data();
    std::size_t remaining = bytes.size();
    while (remaining > 0) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(remaining, 1u << 20));
        if (!WriteFile(output, next, chunk, &written, nullptr) || written == 0) return false;
        next += written;
        remaining -= written;
    }
    return true;
}

std::size_t ConsoleChunkLength(std::wstring_view text, std::size_t limit) {
    std::size_t length = std::min(text.size(), limit);
    if (length > 1 && length < text.size() && IS_HIGH_SURROGATE(text[length - 1]) &&
        IS_LOW_SURROGATE(text[length])) {
        --length;
    }
    return length;
}

bool WriteStandardOutput(std::wstring_view text) {
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE) return true;
    DWORD mode = 0;
    return GetConsoleMode(output, &mode) ? WriteToConsole(output, text) : WriteAsUtf8(output, text);
}
