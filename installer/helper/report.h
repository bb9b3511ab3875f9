#pragma once

#include <string>
#include <string_view>

// What the helper says, one line at a time: on its standard output, where the installer reads it,
// and appended as UTF-8 to the log file named by ReportTo, if any.
void ReportTo(std::wstring logFile);
void Report(std::wstring_view line);
