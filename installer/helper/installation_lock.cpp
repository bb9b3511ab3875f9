#include "installer/helper/installation_lock.h"

#include <string>

#include "installer/helper/report.h"

namespace {

// A mutex that another account made (SYSTEM, for a deployment tool) may grant this one no more
// than the right to wait for it, which is all that taking and releasing it needs.
ScopedHandle OpenOrCreate(const wchar_t* name) {
    ScopedHandle mutex(CreateMutexW(nullptr, FALSE, name));
    if (mutex || GetLastError() != ERROR_ACCESS_DENIED) return mutex;
    return ScopedHandle(OpenMutexW(SYNCHRONIZE, FALSE, name));
}

// Waits for a mutex; true once this thread owns it. An abandoned one, whose holder ended without
// releasing it, is owned all the same.
bool Owned(HANDLE mutex, DWORD waitMs) {
    const DWORD waited = WaitForSingleObject(mutex, waitMs);
    return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

}  // namespace

InstallationLock::~InstallationLock() {
    if (owned_) ReleaseMutex(mutex_.get());
}

bool InstallationLock::Take(DWORD waitMs) {
    if (GetEnvironmentVariableW(kLockHeldByParent, nullptr, 0) != 0 && InstallationRunning()) {
        return true;
    }
    mutex_ = OpenOrCreate(kInstallationLock);
    if (!mutex_) {
        Report(L"Could not take the lock that keeps two installations of Light apart (error " +
               std::to_wstring(GetLastError()) + L"); nothing was changed.");
        return false;
    }
    owned_ = Owned(mutex_.get(), waitMs);
    if (!owned_) {
        Report(
            L"Another installation of Light is running, and did not end in time; nothing was "
            L"changed. Try again once it has ended.");
        return false;
    }
    SetEnvironmentVariableW(kLockHeldByParent, L"1");
    if (!WindowsInstallerIdle(waitMs)) {
        Report(
            L"Windows Installer is busy with another installation, which did not end in time; "
            L"nothing was changed. Try again once it has ended.");
        return false;
    }
    return true;
}

bool InstallationRunning() {
    // The mutex exists while a run holds it or waits for it; one that may not be opened here
    // exists all the same.
    const ScopedHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, kInstallationLock));
    if (!mutex) return GetLastError() == ERROR_ACCESS_DENIED;
    if (!Owned(mutex.get(), 0)) return true;
    ReleaseMutex(mutex.get());
    return false;
}

bool WindowsInstallerIdle(DWORD waitMs) {
    // Where no transaction ever ran there is no mutex; where one runs, it is owned.
    const ScopedHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, kWindowsInstallerLock));
    if (!mutex) return true;
    if (!Owned(mutex.get(), waitMs)) return false;
    ReleaseMutex(mutex.get());
    return true;
}
