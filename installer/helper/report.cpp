#include "installer/helper/report.h"

#include <windows.h>

#include "app/console_output.h"

namespace {

std::wstring reportLog;

}  // namespace

void ReportTo(std::wstring logFile) {
    reportLog = std::move(logFile);
}

void Report(std::wstring_view line) {
    const std::wstring text = std::wstring(line) + L"\n";
    WriteStandardOutput(text);
    if (reportLog.empty()) return;
    // Opened for each line, and shared, as the uninstaller appends to the same file.
    const HANDLE log =
        CreateFileW(reportLog.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) return;
    WriteAsUtf8(log, text);
    CloseHandle(log);
}
