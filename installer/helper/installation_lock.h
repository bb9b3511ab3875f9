#pragma once

#include <windows.h>

#include "installer/helper/scoped_handle.h"

// One installation of Light at a time on a machine. The EXE installer, its uninstaller and
// `setup-helper uninstall` hold this mutex from before they look at the machine until they end,
// and pass kLockHeldByParent to the programs they start, which then take it as theirs; the
// MSI refuses to start while any of them runs. The EXE's runs also wait for Windows Installer,
// which runs one transaction at a time under its own mutex: an MSI holds that from its first
// step. The same names stand in installer/light.nsi.
inline constexpr wchar_t kInstallationLock[] = L"Global\\Orvane.Light.Installation";
inline constexpr wchar_t kLockHeldByParent[] = L"LIGHT_INSTALLATION_LOCKED";
inline constexpr wchar_t kWindowsInstallerLock[] = L"Global\\_MSIExecute";
// How long a run waits for another, or for Windows Installer: longer than any run of Light's.
inline constexpr DWORD kLockWaitMs = 5 * 60 * 1000;

// Holds the lock, once Take returned true, until it goes out of scope.
class InstallationLock {
  public:
    InstallationLock() = default;
    ~InstallationLock();
    InstallationLock(const InstallationLock&) = delete;
    InstallationLock& operator=(const InstallationLock&) = delete;

    // Waits up to `waitMs` for the lock; true once this process may go on, as its holder or as
    // the child of one. Says why not otherwise.
    bool Take(DWORD waitMs);

  private:
    ScopedHandle mutex_;
    bool owned_ = false;
};

// Whether a run of the EXE installer, its uninstaller or `setup-helper uninstall` holds the
// lock, or waits for it, now.
bool InstallationRunning();

// Waits up to `waitMs` for a transaction of Windows Installer to end; true once none runs.
bool WindowsInstallerIdle(DWORD waitMs);
