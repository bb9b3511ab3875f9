// Starts an installer with its window, as a user does, presses its Cancel button once the window
// shows, and ends with the installer's exit code. Anything else it says, and ends with 255: the
// installer could not be started, ended by itself, or showed no window with a Cancel button
// within 30 s (it is then ended).
//   cancel_setup "<command line>"
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

struct Search {
    DWORD process;
    HWND withCancel;
    HWND other;  // a visible window of the installer's without a Cancel button, a message box say
};

BOOL CALLBACK Look(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != search->process || !IsWindowVisible(window)) return TRUE;
    if (GetDlgItem(window, IDCANCEL) == nullptr) {
        search->other = window;
        return TRUE;
    }
    search->withCancel = window;
    return FALSE;
}

// What a window and its controls say, for a report.
std::wstring TextOf(HWND window) {
    std::wstring text;
    for (HWND part = window; part != nullptr;
         part = part == window ? GetWindow(window, GW_CHILD) : GetWindow(part, GW_HWNDNEXT)) {
        wchar_t line[512] = {};
        if (GetWindowTextW(part, line, 512) > 0) text += std::wstring(line) + L" | ";
    }
    return text;
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
    Search search{process.dwProcessId, nullptr, nullptr};
    DWORD exitCode = 255;
    for (int attempt = 0; attempt < 300 && search.withCancel == nullptr; ++attempt) {
        if (WaitForSingleObject(process.hProcess, 100) == WAIT_OBJECT_0) break;
        EnumWindows(Look, reinterpret_cast<LPARAM>(&search));
    }
    if (search.withCancel != nullptr) {
        PostMessageW(search.withCancel, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(search.withCancel, IDCANCEL)));
    }
    if (search.withCancel != nullptr &&
        WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &exitCode);
    } else if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &exitCode);
        std::printf("ended by itself with exit code %lu\n", exitCode);
        exitCode = 255;
    } else {
        std::wprintf(L"no Cancel to press; its window says: %ls\n",
                     search.other ? TextOf(search.other).c_str() : L"(none)");
        TerminateProcess(process.hProcess, 255);
        WaitForSingleObject(process.hProcess, 10000);
    }
    CloseHandle(process.hProcess);
    return static_cast<int>(exitCode);
}
