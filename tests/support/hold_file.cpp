// Holds a file open as a virus scanner or a running program may: others may read it, but not
// write, rename or delete it; or, given a name in the Global\ namespace, holds that mutex as
// another installation of Light holds its lock. Says it holds it by creating "<release>.ready",
// and lets go once the file <release> exists.
//   hold_file <file or Global\mutex> <release>
#include <windows.h>

#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 2;
    const bool mutex = std::wcsncmp(argv[1], L"Global\\", 7) == 0;
    const HANDLE held = mutex ? CreateMutexW(nullptr, FALSE, argv[1])
                              : CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == nullptr || held == INVALID_HANDLE_VALUE) return 1;
    if (mutex && WaitForSingleObject(held, INFINITE) == WAIT_FAILED) return 1;
    const std::wstring ready = std::wstring(argv[2]) + L".ready";
    const HANDLE marker = CreateFileW(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
    while (GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES) Sleep(20);
    if (mutex) ReleaseMutex(held);
    CloseHandle(held);
    return 0;
}
