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

std::vector<ScopedHandle> LightRuns(std::wstring_view folder) {
    const std::wstring program = std::wstring(folder) + L"\\light.exe";
    std::vector<ScopedHandle> runs;
    const ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return runs;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        if (_wcsicmp(entry.szExeFile, L"light.exe") != 0) continue;
        ScopedHandle process(
            OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                        entry.th32ProcessID));
        wchar_t image[MAX_PATH + 1];
        DWORD length = MAX_PATH + 1;
        if (process && QueryFullProcessImageNameW(process.get(), 0, image, &length) &&
            _wcsicmp(image, program.c_str()) == 0) {
            runs.push_back(std::move(process));
        }
    }
    return runs;
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
    const std::vector<ScopedHandle> runs = LightRuns(folder);
    if (Ended(runs, kMsToEnd)) return true;
    for (const ScopedHandle& run : runs) TerminateProcess(run.get(), ERROR_PROCESS_ABORTED);
    if (Ended(runs, kMsToBeEnded)) return true;
    Report(std::wstring(folder) + L"\\light.exe is still running, and could not be ended.");
    return false;
}
