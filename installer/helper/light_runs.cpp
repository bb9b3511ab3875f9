#include "installer/helper/light_runs.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cwchar>
#include <string>
#include <vector>

#include "installer/helper/report.h"
#include "installer/helper/scoped_handle.h"

namespace {

// The task is ended by the Task Scheduler, which returns before its program is gone; a run the
// firmware holds up is ended here after this.
constexpr DWORD kMsToEnd = 5000;
constexpr DWORD kMsToBeEnded = 5000;

// The task's light.exe runs as SYSTEM, whose processes grant administrators the right to wait
// for them, not to end them, and another user's grant them nothing: that takes the debug
// privilege, which an elevated administrator holds but has not turned on (SYSTEM has).
void AllowOpeningOthersRuns() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token)) return;
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &privileges.Privileges[0].Luid)) {
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    }
    CloseHandle(token);
}

// Every running light.exe of `folder`, in `runs`; false, having said so, where that cannot be
// known: the list of processes or a light.exe that may be the folder's could not be read.
bool LightRuns(std::wstring_view folder, std::vector<ScopedHandle>& runs) {
    const std::wstring program = std::wstring(folder) + L"\\light.exe";
    const ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    if (!snapshot || !Process32FirstW(snapshot.get(), &entry)) {
        Report(L"Could not list the running programs (error " + std::to_wstring(GetLastError()) +
               L") to find " + program + L".");
        return false;
    }
    do {
        if (_wcsicmp(entry.szExeFile, L"light.exe") != 0) continue;
        ScopedHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                         entry.th32ProcessID));
        wchar_t image[MAX_PATH + 1];
        DWORD length = MAX_PATH + 1;
        if (!process) {
            // One that ended since the list was made is no run; any other may be the folder's.
            if (GetLastError() == ERROR_INVALID_PARAMETER) continue;
            Report(L"Could not look at a running light.exe (process " +
                   std::to_wstring(entry.th32ProcessID) + L", error " +
                   std::to_wstring(GetLastError()) + L"), which may be " + program + L".");
            return false;
        }
        if (QueryFullProcessImageNameW(process.get(), 0, image, &length) &&
            _wcsicmp(image, program.c_str()) == 0) {
            runs.push_back(std::move(process));
        }
    } while (Process32NextW(snapshot.get(), &entry));
    return true;
}

// Whether every run has ended within `waitMs` in all.
bool Ended(const std::vector<ScopedHandle>& runs, DWORD waitMs) {
    const ULONGLONG deadline = GetTickCount64() + waitMs;
    for (const ScopedHandle& run : runs) {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
        if (WaitForSingleObject(run.get(), left) != WAIT_OBJECT_0) return false;
    }
    return true;
}

}  // namespace

bool EndLightRuns(std::wstring_view folder) {
    AllowOpeningOthersRuns();
    std::vector<ScopedHandle> runs;
    if (!LightRuns(folder, runs)) return false;
    if (Ended(runs, kMsToEnd)) return true;
    for (const ScopedHandle& run : runs) {
        const ScopedHandle ending(OpenProcess(PROCESS_TERMINATE, FALSE, GetProcessId(run.get())));
        // The handle waited for keeps the process, and so its id, from being reused.
        if (ending) TerminateProcess(ending.get(), ERROR_PROCESS_ABORTED);
    }
    if (Ended(runs, kMsToBeEnded)) return true;
    Report(std::wstring(folder) + L"\\light.exe is still running, and could not be ended.");
    return false;
}
