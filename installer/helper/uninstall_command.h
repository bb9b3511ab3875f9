#pragma once

#include <windows.h>

#include <string>

// The silent uninstall that deployment tools run, from the installation's folder: it returns only
// once the removal is complete, or has failed. The uninstaller, run in place, removes the task,
// the PATH entry, the files and the Apps entry, but cannot remove the file it runs from, nor this
// running helper; this removes both, and the folder. Returns the uninstaller's exit code, 0 when
// all is gone. With a log file, the uninstaller and this append what they say to it.
DWORD UninstallAndWait(const std::wstring& logFile);
