// Starts an installer with its window, as a user does, presses its Cancel button once the window
// shows, and ends with the installer's exit code; 255 if it could not be started or showed no
// window within 30 s (it is then ended).
//   cancel_setup "<command line>"
#include <windows.h>

#include <string>

namespace {

struct Search {
    DWORD process;
    HWND window;
};

// The installer's own window: visible, and with a Cancel button.
BOOL CALLBACK TakeWindowWithCancel(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != search->process || !IsWindowVisible(window) || !GetDlgItem(window, IDCANCEL)) {
        return TRUE;
    }
    search->window = window;
    return FALSE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 255;
    std::wstring commandLine = argv[1];
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return 255;
    }
    CloseHandle(process.hThread);
    Search search{process.dwProcessId, nullptr};
    for (int attempt = 0; attempt < 300 && search.window == nullptr; ++attempt) {
        if (WaitForSingleObject(process.hProcess, 100) == WAIT_OBJECT_0) break;
        EnumWindows(TakeWindowWithCancel, reinterpret_cast<LPARAM>(&search));
    }
    DWORD exitCode = 255;
    if (search.window != nullptr) {
        PostMessageW(search.window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(search.window, IDCANCEL)));
    }
    if (search.window == nullptr || WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 255);
        WaitForSingleObject(process.hProcess, 10000);
    } else {
        GetExitCodeProcess(process.hProcess, &exitCode);
    }
    CloseHandle(process.hProcess);
    return static_cast<int>(exitCode);
}
