// Stands in for another product's program: run, it leaves its command line in a file named after
// itself with ".ran" added, so that a check can tell that it ran, and how; and ends with the exit
// code LIGHT_MARK_EXIT_CODE gives, if any, as an installer that asks for a restart ends (3010).
#include <windows.h>

#include <cstdlib>
#include <string>

int wmain() {
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 1;
    const HANDLE mark =
        CreateFileW((std::wstring(self) + L".ran").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (mark == INVALID_HANDLE_VALUE) return 1;
    const std::wstring line = std::wstring(GetCommandLineW()) + L"\n";
    DWORD written = 0;
    const BOOL wrote = WriteFile(
        mark, line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(mark);
    const wchar_t* code = _wgetenv(L"LIGHT_MARK_EXIT_CODE");
    return !wrote ? 1 : code ? _wtoi(code) : 0;
}
