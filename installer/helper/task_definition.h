#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// The scheduled task "Light brightness", as both installers register it: the shipped definition,
// light-task.xml, which this program carries as a resource, with the installed light.exe in
// place of the one in C:\Program Files\Light. It is handed to the Task Scheduler from memory, so
// that registering it leaves no file behind for an undo to miss.

// Registers the task for the light.exe in `folder`, replacing one of an earlier installation.
// Returns 0, or 1 having said why.
DWORD RegisterTask(std::wstring_view folder);

// Ends a run of the task, waits for `folder`'s light.exe to end (light_runs.h) and deletes the
// task. Returns 0 when it is gone, was never there or went meanwhile, or 1 having said why.
DWORD DeleteTask(std::wstring_view folder);

// Ends a run of the task, if it is registered, and waits for `folder`'s light.exe to end, so
// that its files can be replaced. Returns 0, or 1 having said why.
DWORD StopTask(std::wstring_view folder);

// Writes the definition RegisterTask registers for `folder` to `file`, UTF-16 as the Task
// Scheduler writes its own: for administrators, and for checks of what Windows would keep.
// Returns 0, or 1 having said why.
DWORD WriteTaskDefinition(std::wstring_view folder, const std::wstring& file);
