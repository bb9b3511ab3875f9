#include "installer/helper/uninstall_command.h"

#include <cwchar>
#include <string>

#include "installer/helper/bounded_run.h"
#include "installer/helper/full_path.h"
#include "installer/helper/installation_lock.h"
#include "installer/helper/report.h"
#include "installer/helper/steps_job.h"

namespace {

std::wstring OwnPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) return path.substr(0, length);
        path.resize(path.size() * 2);
    }
}

// The uninstaller has just ended; its file may take a moment to be free.
bool DeleteSoon(const std::wstring& file) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (DeleteFileW(file.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) return true;
        Sleep(100);
    }
    return false;
}

// A running program's file cannot be deleted, but it can be moved: out of the folder, into the
// temporary folder, where it is deleted at the next restart.
void MoveOutOfTheWay(const std::wstring& self) {
    wchar_t folder[MAX_PATH + 1] = {};
    wchar_t target[MAX_PATH + 1] = {};
    if (GetTempPathW(MAX_PATH + 1, folder) != 0 &&
        GetTempFileNameW(folder, L"lgt", 0, target) != 0 &&
        MoveFileExW(self.c_str(), target, MOVEFILE_REPLACE_EXISTING)) {
        MoveFileExW(target, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        return;
    }
    if (target[0] != L'\0') DeleteFileW(target);
    MoveFileExW(self.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

DWORD UninstallAndWait(const std::wstring& logFile) {
    const std::wstring self = OwnPath();
    const std::wstring folder = self.substr(0, self.find_last_of(L'\\'));
    const std::wstring uninstaller = folder + L"\\uninstall.exe";
    // _?= runs it in place and must come last, unquoted.
    const std::wstring log = logFile.empty() ? L"" : L" /LOG=\"" + logFile + L"\"";
    const DWORD exitCode = RunWithTimeLimit(
        uninstaller, L"\"" + uninstaller + L"\" /S" + log + L" _?=" + folder, INFINITE);
    // A failed step leaves the installation as it is, to be uninstalled again.
    if (exitCode == kRunNotStarted) return kUninstallFailed;
    if (exitCode != 0) return exitCode;
    if (!DeleteSoon(uninstaller)) {
        Report(L"Could not delete " + uninstaller + L".");
        return kUninstallFailed;
    }
    MoveOutOfTheWay(self);
    // The uninstaller's file, though deleted, may be held for a moment after it ended.
    for (int attempt = 0; !RemoveDirectoryW(folder.c_str()); ++attempt) {
        if (attempt == 20) {
            Report(folder + L" holds files that Light did not install, and was left.");
            break;
        }
        Sleep(100);
    }
    return 0;
}

}  // namespace

DWORD UninstallCommand(const std::vector<std::wstring>& options) {
    std::wstring log;
    for (const std::wstring& option : options) {
        if (log.empty() && _wcsnicmp(option.c_str(), L"/LOG=", 5) == 0) {
            log = FullPath(option.substr(5));
            if (!log.empty()) continue;
        }
        Report(L"setup-helper uninstall takes no option but /LOG=<file>, not '" + option +
               L"': nothing was changed.");
        return kUninstallRefused;
    }
    ReportTo(log);
    EndStepsWithThisProcess();
    // Held until all is gone, the uninstaller's own steps and this one's alike.
    InstallationLock lock;
    if (!lock.Take(kLockWaitMs)) return kUninstallFailed;
    return UninstallAndWait(log);
}
