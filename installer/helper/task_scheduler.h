#pragma once

#include <windows.h>
#include <taskschd.h>

#include <functional>

// Runs `step` on the Task Scheduler's root folder, through the Task Scheduler's own interface:
// no schtasks process, no command line to quote, no file in between. A Task Scheduler that is
// still starting, as during a deployment right after boot, gets three tries a second apart: a
// step that failed then may succeed a moment later, one that failed while it runs will not.
// Returns the step's outcome, or why the Task Scheduler could not be reached.
HRESULT InRootTaskFolder(const std::function<HRESULT(ITaskFolder&)>& step);
