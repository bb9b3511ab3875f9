// Keeps the Wine prefix's desktop open while the tests or the demo run. Without it, each process
// that needs the desktop starts one of its own, which outlives that process and keeps its output
// pipe open, so whoever reads that output waits for the desktop to close.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    // One holder per prefix is enough.
    const HANDLE single = CreateMutexW(nullptr, FALSE, L"LightDesktopHolder");
    const bool alreadyHeld = GetLastError() == ERROR_ALREADY_EXISTS;
    // Starts the desktop if it is not there yet and makes this process one of its users.
    if (!alreadyHeld && GetDesktopWindow() == nullptr) {
        CloseHandle(single);
        return 1;
    }
    // Tell whoever started the holder that the desktop is up: create the file it named.
    if (argc > 1) {
        const HANDLE ready = CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr);
        if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
    }
    if (!alreadyHeld) Sleep(INFINITE);
    CloseHandle(single);
    return 0;
}
