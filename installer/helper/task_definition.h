#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// The scheduled task "Light brightness", as both installers register it: the shipped definition,
// light-task.xml, which this program carries as a resource, with the installed light.exe in
// place of the one in C:\Program Files\Light. The definition is kept beside light.exe, UTF-16 as
// the Task Scheduler writes its own.

// Writes `folder`\light-task.xml and registers the task from it, replacing one of an earlier
// installation; while the Task Scheduler is still starting, it tries three times, a second
// apart. Returns 0, or 1 having said why.
DWORD RegisterTask(std::wstring_view folder);

// Ends a run of the task and deletes it. Returns 0 when it is gone or was never there, or 1
// having said why.
DWORD DeleteTask();
