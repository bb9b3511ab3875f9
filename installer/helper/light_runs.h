#pragma once

#include <string_view>

// Waits for every running light.exe of `folder` to end (the scheduled task's, the installer's
// /BRIGHTNESS= run, one started at a prompt), and ends one still running after a few seconds:
// until then its file cannot be replaced or deleted. True once none is left; false, having said
// so, otherwise.
bool EndLightRuns(std::wstring_view folder);
