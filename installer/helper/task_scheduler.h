#pragma once

#include <windows.h>
#include <taskschd.h>

#include <functional>

// Runs `step` on the Task Scheduler's root folder, through the Task Scheduler's own interface:
// no schtasks process, no command line to quote, no file in between. A step that fails while the
// Task Scheduler is starting, as during a deployment right after boot, is tried again each second
// for up to a minute, as is one that fails while it is stopped but set to start by itself; one
// that fails while it runs, or while it is disabled or started only on demand, is not.
// Returns the step's outcome, or why the Task Scheduler could not be reached.
HRESULT InRootTaskFolder(const std::function<HRESULT(ITaskFolder&)>& step);
