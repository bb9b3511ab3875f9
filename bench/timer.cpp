// Times light.exe against its two yardsticks, each started in turn for a number of rounds, and
// prints the medians. Runs under Wine in the prefix with the firmware stand-in.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct Command {
    const wchar_t* label;
    std::wstring program;
    std::wstring arguments;
    DWORD expectedExitCode;
    std::vector<double> milliseconds;
};

std::wstring Sibling(const wchar_t* name) {
    wchar_t path[MAX_PATH * 2];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1) + name;
}

// Wall time from process creation to its end, or a negative value if it failed.
double TimeOnce(const Command& command) {
    std::wstring commandLine = L"\"" + command.program + L"\" " + command.arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(command.program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &process)) {
        return -1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    QueryPerformanceCounter(&end);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    if (exitCode != command.expectedExitCode) return -1;
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int rounds = argc > 1 ? std::max(1, _wtoi(argv[1])) : 30;
    std::vector<Command> commands = {
        {L"do-nothing program", Sibling(L"noop.exe"), L"", 0, {}},
        {L"WMI floor", Sibling(L"wmi_floor.exe"), L"", 0, {}},
        {L"light 50", Sibling(L"light.exe"), L"50", 0, {}},
        {L"light (restore)", Sibling(L"light.exe"), L"", 0, {}},
        // Two arguments: the usage text and nothing else, no registry or WMI.
        {L"light 1 2 (usage)", Sibling(L"light.exe"), L"1 2", 1, {}},
    };
    // One warm-up round, then the measured ones, the commands taken in turn.
    for (int round = -1; round < rounds; ++round) {
        for (auto& command : commands) {
            const double elapsed = TimeOnce(command);
            if (elapsed < 0) {
                fwprintf(stderr, L"%ls failed\n", command.label);
                return 1;
            }
            if (round >= 0) command.milliseconds.push_back(elapsed);
        }
    }
    const double noop = Median(commands[0].milliseconds);
    const double floor = Median(commands[1].milliseconds);
    wprintf(L"%d rounds, medians:\n\n", rounds);
    wprintf(L"| %-20ls | %9ls | %11ls | %12ls |\n", L"command", L"median ms", L"vs nothing",
            L"vs WMI floor");
    wprintf(L"|----------------------|-----------|-------------|--------------|\n");
    for (const auto& command : commands) {
        const double median = Median(command.milliseconds);
        wprintf(L"| %-20ls | %9.1f | %10.2fx | %11.2fx |\n", command.label, median, median / noop,
                median / floor);
    }
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    GetFileAttributesExW(Sibling(L"light.exe").c_str(), GetFileExInfoStandard, &attributes);
    wprintf(L"\nlight.exe: %lu bytes\n", attributes.nFileSizeLow);
    return 0;
}
