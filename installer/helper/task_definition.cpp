#include "installer/helper/task_definition.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <optional>
#include <utility>

#include "installer/helper/bounded_run.h"
#include "installer/helper/report.h"
#include "installer/helper/task_resource.h"

namespace {

constexpr wchar_t kTaskName[] = L"Light brightness";
constexpr std::wstring_view kShippedProgram = L"C:\\Program Files\\Light\\light.exe";
constexpr DWORD kSchtasksLimitMs = 60000;
constexpr wchar_t kByteOrderMark = 0xFEFF;

std::wstring SystemFolder() {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(folder, length)
                                           : L"C:\\Windows\\System32";
}

// The Task Scheduler keeps each task's definition in a file of its own: a task is registered
// while its file is there.
bool TaskIsRegistered() {
    const std::wstring file = SystemFolder() + L"\\Tasks\\" + kTaskName;
    return GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Whether the Task Scheduler service is still starting, as during a deployment right after boot:
// a registration that failed then may succeed a moment later; one that failed while it runs
// will not.
bool SchedulerStarting() {
    const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (manager == nullptr) return true;
    const SC_HANDLE service = OpenServiceW(manager, L"Schedule", SERVICE_QUERY_STATUS);
    SERVICE_STATUS status{};
    const bool running = service != nullptr && QueryServiceStatus(service, &status) &&
                         status.dwCurrentState == SERVICE_RUNNING;
    if (service != nullptr) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return !running;
}

DWORD Schtasks(const std::wstring& arguments) {
    const std::wstring program = SystemFolder() + L"\\schtasks.exe";
    return RunWithTimeLimit(program, L"\"" + program + L"\" " + arguments, kSchtasksLimitMs);
}

// The shipped definition, as UTF-16 text without its byte order mark.
std::optional<std::wstring> ShippedDefinition() {
    const HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(TASK_DEFINITION_RESOURCE),
                                      MAKEINTRESOURCEW(10));  // RT_RCDATA
    const HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = found ? SizeofResource(nullptr, found) : 0;
    if (bytes == nullptr || size < sizeof(wchar_t) || size % sizeof(wchar_t) != 0) {
        return std::nullopt;
    }
    std::wstring text(size / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), bytes, size);
    if (text.front() == kByteOrderMark) text.erase(0, 1);
    return text;
}

bool WriteUtf16File(const std::wstring& file, const std::wstring& text) {
    const HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const std::wstring content = kByteOrderMark + text;
    const DWORD size = static_cast<DWORD>(content.size() * sizeof(wchar_t));
    DWORD written = 0;
    const bool wrote =
        WriteFile(handle, content.data(), size, &written, nullptr) && written == size;
    return CloseHandle(handle) && wrote;
}

// `text` as XML character data or attribute text: a folder may be called "R&D" or "Ørvane's".
std::wstring XmlText(std::wstring_view text) {
    static constexpr std::pair<wchar_t, std::wstring_view> kEntities[] = {
        {L'&', L"&amp;"}, {L'<', L"&lt;"}, {L'>', L"&gt;"}, {L'"', L"&quot;"}, {L'\'', L"&apos;"}};
    std::wstring escaped;
    for (const wchar_t character : text) {
        const auto* entity =
            std::find_if(std::begin(kEntities), std::end(kEntities),
                         [&](const auto& pair) { return pair.first == character; });
        if (entity == std::end(kEntities)) {
            escaped += character;
        } else {
            escaped += entity->second;
        }
    }
    return escaped;
}

// The definition `shipped` with `folder`'s light.exe in place of the default one.
std::wstring TaskDefinitionFor(std::wstring_view shipped, std::wstring_view folder) {
    const std::wstring program = XmlText(std::wstring(folder) + L"\\light.exe");
    std::wstring definition(shipped);
    for (size_t at = definition.find(kShippedProgram); at != std::wstring::npos;
         at = definition.find(kShippedProgram, at + program.size())) {
        definition.replace(at, kShippedProgram.size(), program);
    }
    return definition;
}

}  // namespace

DWORD RegisterTask(std::wstring_view folder) {
    const std::optional<std::wstring> shipped = ShippedDefinition();
    const std::wstring file = std::wstring(folder) + L"\\light-task.xml";
    if (!shipped || !WriteUtf16File(file, TaskDefinitionFor(*shipped, folder))) {
        Report(L"Could not write " + file + L".");
        return 1;
    }
    DWORD status = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (attempt > 0) Sleep(1000);
        status =
            Schtasks(std::wstring(L"/create /tn \"") + kTaskName + L"\" /xml \"" + file + L"\" /f");
        if (status == 0) return 0;
        if (!SchedulerStarting()) break;
    }
    Report(std::wstring(L"Could not register the scheduled task '") + kTaskName + L"' (schtasks: " +
           std::to_wstring(status) + L").");
    return 1;
}

DWORD DeleteTask() {
    if (!TaskIsRegistered()) return 0;
    Schtasks(std::wstring(L"/end /tn \"") + kTaskName + L"\"");
    const DWORD status = Schtasks(std::wstring(L"/delete /tn \"") + kTaskName + L"\" /f");
    if (status == 0 || !TaskIsRegistered()) return 0;
    Report(std::wstring(L"Could not delete the scheduled task '") + kTaskName + L"' (schtasks: " +
           std::to_wstring(status) + L").");
    return 1;
}
