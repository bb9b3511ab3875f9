#include "standin/environment.h"

#include <cwchar>
#include <string>
#include <vector>

namespace {

std::string ToUtf8(const std::wstring& text) {
    const int length = static_cast<int>(text.size());
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), length, bytes.data(), size, nullptr, nullptr);
    }
    return bytes;
}

void WriteFileText(const std::wstring& path, const std::string& bytes, DWORD disposition,
                   DWORD access) {
    if (path.empty()) return;
    HANDLE file = CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

void AppendEscaped(std::wstring& out, std::wstring_view text) {
    for (const wchar_t character : text) {
        if (character == L'"' || character == L'\\') {
            out.push_back(L'\\');
            out.push_back(character);
        } else if (character < 0x20) {
            wchar_t escaped[8];
            std::swprintf(escaped, 8, L"\\u%04x", static_cast<unsigned>(character));
            out.append(escaped);
        } else {
            out.push_back(character);
        }
    }
}

}  // namespace

std::wstring EnvironmentValue(const wchar_t* name) {
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) return {};
    std::vector<wchar_t> value(size);
    const DWORD length = GetEnvironmentVariableW(name, value.data(), size);
    return length < size ? std::wstring(value.data(), length) : std::wstring();
}

bool HasFault(std::wstring_view fault) {
    const std::wstring faults = EnvironmentValue(L"LIGHT_STANDIN_FAULTS");
    size_t start = 0;
    while (start <= faults.size()) {
        size_t end = faults.find(L',', start);
        if (end == std::wstring::npos) end = faults.size();
        if (std::wstring_view(faults).substr(start, end - start) == fault) return true;
        start = end + 1;
    }
    return false;
}

void RememberBrightness(int brightness) {
    WriteFileText(EnvironmentValue(L"LIGHT_STANDIN_STATE"), std::to_string(brightness) + "\n",
                  CREATE_ALWAYS, GENERIC_WRITE);
}

JsonLine::JsonLine(std::wstring_view call) {
    Add(L"call", call);
}

JsonLine& JsonLine::Add(std::wstring_view key, std::wstring_view text) {
    text_ += text_.empty() ? L"{\"" : L",\"";
    AppendEscaped(text_, key);
    text_ += L"\":\"";
    AppendEscaped(text_, text);
    text_ += L"\"";
    return *this;
}

JsonLine& JsonLine::Add(std::wstring_view key, long long number) {
    text_ += L",\"";
    AppendEscaped(text_, key);
    text_ += L"\":" + std::to_wstring(number);
    return *this;
}

JsonLine& JsonLine::AddStatus(HRESULT status) {
    wchar_t hex[16];
    std::swprintf(hex, 16, L"0x%08lx", static_cast<unsigned long>(status));
    return Add(L"status", hex);
}

void JsonLine::Write() const {
    WriteFileText(EnvironmentValue(L"LIGHT_STANDIN_LOG"), ToUtf8(text_ + L"}\n"), OPEN_ALWAYS,
                  FILE_APPEND_DATA);
}

std::wstring HexBytes(const unsigned char* bytes, size_t count) {
    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring text;
    for (size_t index = 0; index < count; ++index) {
        text.push_back(kDigits[bytes[index] >> 4]);
        text.push_back(kDigits[bytes[index] & 0xF]);
    }
    return text;
}
