#include "tests/support/standin.h"

#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

#include "tests/support/light_run.h"

namespace {

std::wstring NewTempFile() {
    wchar_t folder[MAX_PATH] = {};
    wchar_t file[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"lst", 0, file);
    return file;
}

std::string ReadWholeFile(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

}  // namespace

StandIn::StandIn() : logPath_(NewTempFile()), statePath_(NewTempFile()) {
    SetEnvironmentVariableW(L"LIGHT_STANDIN_LOG", logPath_.c_str());
    SetEnvironmentVariableW(L"LIGHT_STANDIN_STATE", statePath_.c_str());
    SetEnvironmentVariableW(L"LIGHT_STANDIN_FAULTS", nullptr);
    module_ = LoadLibraryW(SiblingPath(L"standin.dll").c_str());
    misusesBefore_ = Count("StandInMisuses");
}

StandIn::~StandIn() {
    for (const wchar_t* name :
         {L"LIGHT_STANDIN_LOG", L"LIGHT_STANDIN_STATE", L"LIGHT_STANDIN_FAULTS"}) {
        SetEnvironmentVariableW(name, nullptr);
    }
    DeleteFileW(logPath_.c_str());
    DeleteFileW(statePath_.c_str());
    if (module_) FreeLibrary(module_);
}

void StandIn::SetFaults(const std::wstring& faults) {
    SetEnvironmentVariableW(L"LIGHT_STANDIN_FAULTS", faults.empty() ? nullptr : faults.c_str());
}

std::vector<std::string> StandIn::Calls(const std::string& call) const {
    std::vector<std::string> lines;
    std::istringstream log(ReadWholeFile(logPath_));
    for (std::string line; std::getline(log, line);) {
        if (call.empty() || JsonField(line, "call") == call) lines.push_back(line);
    }
    return lines;
}

int StandIn::FirmwareBrightness() const {
    const std::string state = ReadWholeFile(statePath_);
    return state.empty() ? -1 : std::stoi(state);
}

long StandIn::Count(const char* exported) const {
    using CountFunction = LONG(WINAPI*)();
    const auto function =
        reinterpret_cast<CountFunction>(reinterpret_cast<void*>(GetProcAddress(module_, exported)));
    return function ? function() : -1;
}

long StandIn::LiveObjects() const {
    return Count("StandInLiveObjects");
}

long StandIn::Misuses() const {
    return Count("StandInMisuses") - misusesBefore_;
}

std::string JsonField(const std::string& line, const std::string& key) {
    std::smatch match;
    const std::regex field("\"" + key + "\":\"?([^\",}]*)");
    return std::regex_search(line, match, field) ? match[1].str() : std::string();
}
