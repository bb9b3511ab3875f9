#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The silent uninstall that deployment tools run, from the installation's folder: it returns only
// once the removal is complete, or has failed. The uninstaller, run in place, removes the task,
// the PATH entry, the files and the Apps entry, but cannot remove the file it runs from, nor this
// running helper; this removes both, and the folder. With /LOG=<file> (a relative file is
// relative to the current folder), the uninstaller and this append what they say to it.
// It waits for any other installation of Light to end first (installation_lock.h). Returns the
// installer's exit codes: 0 all is gone; 2 refused, nothing changed (an option it does not take);
// 4 a step failed and the installation stays, to be uninstalled again, or another installation
// did not end in time; or the uninstaller's own exit code.
inline constexpr DWORD kUninstallRefused = 2;
inline constexpr DWORD kUninstallFailed = 4;

DWORD UninstallCommand(const std::vector<std::wstring>& options);
