#include "tests/support/standin_control.h"

#include <sstream>

#include "tests/support/test_files.h"

namespace {

constexpr wchar_t kLocatorServerKey[] =
    L"Software\\Classes\\CLSID\\{CB8555CC-9128-11D1-AD9B-00C04FD8FDFF}\\InprocServer32";

}  // namespace

std::wstring LocatorServerPath() {
    wchar_t path[MAX_PATH * 2] = {};
    DWORD size = sizeof(path) - sizeof(wchar_t);
    RegGetValueW(HKEY_LOCAL_MACHINE, kLocatorServerKey, nullptr, RRF_RT_REG_SZ, nullptr, path,
                 &size);
    return path;
}

bool SetLocatorServerPath(const std::wstring& path) {
    const DWORD size = static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t));
    return RegSetKeyValueW(HKEY_LOCAL_MACHINE, kLocatorServerKey, nullptr, REG_SZ, path.c_str(),
                           size) == ERROR_SUCCESS;
}

StandInControl::StandInControl() : logPath_(NewTempFile(L"log")), statePath_(NewTempFile(L"bri")) {
    SetEnvironmentVariableW(L"LIGHT_STANDIN_LOG", logPath_.c_str());
    SetEnvironmentVariableW(L"LIGHT_STANDIN_STATE", statePath_.c_str());
    SetEnvironmentVariableW(L"LIGHT_STANDIN_FAULTS", nullptr);
    module_ = LoadLibraryW(LocatorServerPath().c_str());
}

StandInControl::~StandInControl() {
    SetEnvironmentVariableW(L"LIGHT_STANDIN_LOG", nullptr);
    SetEnvironmentVariableW(L"LIGHT_STANDIN_STATE", nullptr);
    SetEnvironmentVariableW(L"LIGHT_STANDIN_FAULTS", nullptr);
    DeleteFileW(logPath_.c_str());
    DeleteFileW(statePath_.c_str());
    if (module_) FreeLibrary(module_);
}

void StandInControl::SetFaults(const std::wstring& faults) {
    SetEnvironmentVariableW(L"LIGHT_STANDIN_FAULTS", faults.empty() ? nullptr : faults.c_str());
}

std::vector<std::string> StandInControl::Calls() const {
    std::vector<std::string> lines;
    std::istringstream log(ReadWholeFile(logPath_));
    for (std::string line; std::getline(log, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> StandInControl::Calls(const std::string& call) const {
    std::vector<std::string> matching;
    for (const auto& line : Calls()) {
        if (JsonField(line, "call") == call) matching.push_back(line);
    }
    return matching;
}

int StandInControl::FirmwareBrightness() const {
    const std::string state = ReadWholeFile(statePath_);
    return state.empty() ? -1 : std::stoi(state);
}

long StandInControl::LiveObjects() const {
    using LiveObjectsFunction = LONG(WINAPI*)();
    const auto function = reinterpret_cast<LiveObjectsFunction>(
        reinterpret_cast<void*>(GetProcAddress(module_, "StandInLiveObjects")));
    return function ? function() : -1;
}

std::string JsonField(const std::string& line, const std::string& key) {
    const std::string marker = "\"" + key + "\":";
    size_t position = line.find(marker);
    if (position == std::string::npos) return {};
    position += marker.size();
    std::string value;
    if (line[position] != '"') {
        while (position < line.size() && line[position] != ',' && line[position] != '}') {
            value.push_back(line[position++]);
        }
        return value;
    }
    for (++position; position < line.size() && line[position] != '"'; ++position) {
        if (line[position] == '\\' && position + 1 < line.size()) ++position;
        value.push_back(line[position]);
    }
    return value;
}
