// The logon task command in the user guide, split as schtasks and then the Task Scheduler split it.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_files.h"

namespace {

std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(commandLine.c_str(), &count);
    std::vector<std::wstring> split(arguments, arguments + (arguments ? count : 0));
    LocalFree(arguments);
    return split;
}

std::wstring GuideLine(const std::string& start) {
    std::istringstream guide(ReadWholeFile(SiblingPath(L"README.md")));
    for (std::string line; std::getline(guide, line);) {
        const size_t text = line.find_first_not_of(' ');
        if (text != std::string::npos && line.compare(text, start.size(), start) == 0) {
            const std::string command = line.substr(text);
            return std::wstring(command.begin(), command.end());
        }
    }
    return {};
}

TEST(Guide, LogonTaskKeepsPathWithSpacesTogether) {
    const std::wstring command = GuideLine("schtasks /create");
    ASSERT_FALSE(command.empty()) << "no logon task command in README.md";
    const std::vector<std::wstring> expected = {
        L"schtasks", L"/create",
        L"/tn",      L"Light brightness",
        L"/tr",      L"\"C:\\Program Files\\Light\\light.exe\"",
        L"/sc",      L"onlogon",
        L"/ru",      L"SYSTEM",
        L"/rl",      L"highest",
        L"/f"};
    const std::vector<std::wstring> arguments = SplitCommandLine(command);
    ASSERT_EQ(arguments, expected);

    // The task's command is one program without arguments: the restore command.
    EXPECT_EQ(SplitCommandLine(arguments[5]),
              std::vector<std::wstring>{L"C:\\Program Files\\Light\\light.exe"});
}

}  // namespace
