#include "installer/helper/utf16_file.h"

#include <windows.h>

#include "installer/helper/report.h"

bool WriteUtf16File(const std::wstring& file, std::wstring_view text) {
    const HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    DWORD written = 0;
    const bool wrote = handle != INVALID_HANDLE_VALUE &&
                       WriteFile(handle, text.data(), size, &written, nullptr) && written == size;
    if (handle == INVALID_HANDLE_VALUE || !CloseHandle(handle) || !wrote) {
        Report(L"Could not write " + file + L".");
        return false;
    }
    return true;
}
