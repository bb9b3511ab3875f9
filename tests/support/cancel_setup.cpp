// Starts an installer with its window, as a user does, presses its Cancel button once the window
// shows, and ends with the installer's exit code. Otherwise it says why and ends with 255: the
// installer could not be started, ended by itself, showed no Cancel button within 30 s (a
// message box, say), or did not end within 30 s of Cancel; it is then ended.
//   cancel_setup "<command line>"
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

struct Search {
    DWORD process;
    HWND withCancel;
    wchar_t other[256];  // what a window of the installer's without a Cancel button says
};

BOOL CALLBACK Look(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != search->process || !IsWindowVisible(window)) return TRUE;
    if (GetDlgItem(window, IDCANCEL) != nullptr) {
        search->withCancel = window;
        return FALSE;
    }
    // A message box's text is its static control's, whose identifier is -1.
    if (GetDlgItemTextW(window, 0xFFFF, search->other, 256) == 0) {
        GetWindowTextW(window, search->other, 256);
    }
    return TRUE;
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
        std::printf("could not be started (error %lu)\n", GetLastError());
        return 255;
    }
    CloseHandle(process.hThread);
    Search search{process.dwProcessId, nullptr, L"(none)"};
    for (int attempt = 0; attempt < 300 && search.withCancel == nullptr; ++attempt) {
        if (WaitForSingleObject(process.hProcess, 100) == WAIT_OBJECT_0) break;
        EnumWindows(Look, reinterpret_cast<LPARAM>(&search));
    }
    if (search.withCancel != nullptr) {
        PostMessageW(search.withCancel, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(search.withCancel, IDCANCEL)));
    }
    DWORD exitCode = 255;
    const bool ended =
        WaitForSingleObject(process.hProcess, search.withCancel ? 30000 : 0) == WAIT_OBJECT_0;
    if (ended) GetExitCodeProcess(process.hProcess, &exitCode);
    if (search.withCancel == nullptr && ended) {
        std::printf("ended by itself with exit code %lu\n", exitCode);
    } else if (search.withCancel == nullptr) {
        std::wprintf(L"no Cancel to press; a window says: %ls\n", search.other);
    } else if (!ended) {
        std::printf("still running 30 s after Cancel\n");
    }
    if (!ended) {
        TerminateProcess(process.hProcess, 255);
        WaitForSingleObject(process.hProcess, 10000);
    }
    if (search.withCancel == nullptr) exitCode = 255;
    CloseHandle(process.hProcess);
    return static_cast<int>(exitCode);
}
