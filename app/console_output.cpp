#include "app/console_output.h"

#include <algorithm>
#include <string>

namespace {

bool WriteAll(HANDLE output, const char* bytes, size_t size) {
    while (size > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(output, bytes, chunk, &written, nullptr) || written == 0) return false;
        bytes += written;
        size -= written;
    }
    return true;
}

}  // namespace

ConsoleStreamBuf::ConsoleStreamBuf(HANDLE output) : output_(output), isConsole_(false) {
    DWORD mode = 0;
    isConsole_ = output_ != nullptr && output_ != INVALID_HANDLE_VALUE &&
                 GetConsoleMode(output_, &mode) != 0;
}

ConsoleStreamBuf::~ConsoleStreamBuf() {
    sync();
}

ConsoleStreamBuf::int_type ConsoleStreamBuf::overflow(int_type character) {
    if (traits_type::eq_int_type(character, traits_type::eof())) return traits_type::not_eof(0);
    pending_.push_back(traits_type::to_char_type(character));
    return character;
}

std::streamsize ConsoleStreamBuf::xsputn(const wchar_t* text, std::streamsize count) {
    pending_.append(text, static_cast<size_t>(count));
    return count;
}

int ConsoleStreamBuf::sync() {
    if (pending_.empty()) return 0;
    // No standard output at all (a detached process) is not an error worth failing over.
    const bool written = output_ == nullptr || output_ == INVALID_HANDLE_VALUE ||
                         (isConsole_ ? WriteToConsole() : WriteAsUtf8());
    pending_.clear();
    return written ? 0 : -1;
}

bool ConsoleStreamBuf::WriteToConsole() const {
    const wchar_t* text = pending_.data();
    size_t remaining = pending_.size();
    while (remaining > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(remaining, 8192));
        DWORD written = 0;
        if (!WriteConsoleW(output_, text, chunk, &written, nullptr) || written == 0) return false;
        text += written;
        remaining -= written;
    }
    return true;
}

bool ConsoleStreamBuf::WriteAsUtf8() const {
    // A redirected Windows console program ends its lines with CR LF.
    std::wstring text;
    text.reserve(pending_.size() + 8);
    for (const wchar_t character : pending_) {
        if (character == L'\n') text.push_back(L'\r');
        text.push_back(character);
    }
    const int wideLength = static_cast<int>(text.size());
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return false;
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), wideLength, bytes.data(), size, nullptr, nullptr);
    return WriteAll(output_, bytes.data(), bytes.size());
}
