#include "installer/helper/task_definition.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <optional>
#include <utility>

#include "firmware/com_values.h"
#include "installer/helper/com_ptr.h"
#include "installer/helper/light_runs.h"
#include "installer/helper/report.h"
#include "installer/helper/task_resource.h"
#include "installer/helper/task_scheduler.h"
#include "installer/helper/utf16_file.h"

namespace {

constexpr wchar_t kTaskName[] = L"Light brightness";
constexpr std::wstring_view kShippedProgram = L"C:\\Program Files\\Light\\light.exe";
// The definition's principal, SYSTEM, by a name no Windows language translates.
constexpr wchar_t kSystem[] = L"S-1-5-18";
constexpr wchar_t kByteOrderMark = 0xFEFF;

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

// The shipped definition with `folder`'s light.exe in place of the default one, or nothing
// (having said why) when this program lacks the definition it should carry.
std::optional<std::wstring> TaskDefinitionFor(std::wstring_view folder) {
    std::optional<std::wstring> definition = ShippedDefinition();
    if (!definition) {
        Report(L"setup-helper.exe lacks the task definition it carries.");
        return std::nullopt;
    }
    const std::wstring program = XmlText(std::wstring(folder) + L"\\light.exe");
    for (size_t at = definition->find(kShippedProgram); at != std::wstring::npos;
         at = definition->find(kShippedProgram, at + program.size())) {
        definition->replace(at, kShippedProgram.size(), program);
    }
    return definition;
}

// Neither there nor ever registered, or deleted by an earlier, interrupted uninstallation.
constexpr HRESULT kNoSuchTask = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
// SCHED_S_SOME_TRIGGERS_FAILED, which MinGW-w64's headers lack: registered, but a trigger will
// not start the task.
constexpr HRESULT kSomeTriggersFailed = 0x0004131B;

// 0 for a step that succeeded; otherwise says what failed, and 1. Any other success that the
// Task Scheduler qualified is said too.
DWORD Outcome(const wchar_t* what, HRESULT status) {
    wchar_t code[16];
    std::swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(status));
    const std::wstring task = std::wstring(L" the scheduled task '") + kTaskName + L"'";
    // A task that would not run at every logon and wake is no installation of Light: a failure,
    // which the installer undoes, so that a deployment tool sees it.
    if (status == kSomeTriggersFailed) {
        Report(L"Registered" + task + L", but the Task Scheduler says that not all of its " +
               L"triggers will start it (" + code + L").");
        return 1;
    }
    if (SUCCEEDED(status) && status != S_OK) {
        Report(std::wstring(L"The Task Scheduler answered ") + code + L" to: " + what + task +
               L".");
    }
    if (SUCCEEDED(status)) return 0;
    Report(std::wstring(L"Could not ") + what + task + L" (error " + code + L").");
    return 1;
}

// Ends the task's run, if there is one, and `folder`'s light.exe; then `next`, on the task.
HRESULT Stopped(ITaskFolder& root, BSTR name, std::wstring_view folder,
                HRESULT (*next)(ITaskFolder&, BSTR)) {
    ComPtr<IRegisteredTask> task;
    const HRESULT found = root.GetTask(name, task.put());
    if (found == kNoSuchTask) return EndLightRuns(folder) ? S_OK : E_FAIL;
    if (FAILED(found)) return found;
    // Returns at once, its program still running.
    static_cast<void>(task->Stop(0));
    if (!EndLightRuns(folder)) return HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION);
    return next(root, name);
}

}  // namespace

DWORD RegisterTask(std::wstring_view folder) {
    const std::optional<std::wstring> definition = TaskDefinitionFor(folder);
    if (!definition) return 1;
    const Bstr name(kTaskName);
    const Bstr text(definition->c_str());
    Variant system;
    V_VT(system.get()) = VT_BSTR;
    V_BSTR(system.get()) = SysAllocString(kSystem);
    if (!name || !text || V_BSTR(system.get()) == nullptr) {
        return Outcome(L"register", E_OUTOFMEMORY);
    }
    const auto registerIn = [&](ITaskFolder& root) {
        const Variant none;
        ComPtr<IRegisteredTask> task;
        return root.RegisterTask(name.get(),                  // path
                                 text.get(),                  // definition
                                 TASK_CREATE_OR_UPDATE,       // flags
                                 *system,                     // user
                                 *none,                       // password: none for SYSTEM
                                 TASK_LOGON_SERVICE_ACCOUNT,  // logon type
                                 *none,                       // access: the folder's
                                 task.put());
    };
    return Outcome(L"register", InRootTaskFolder(registerIn));
}

DWORD DeleteTask(std::wstring_view folder) {
    const Bstr name(kTaskName);
    if (!name) return Outcome(L"delete", E_OUTOFMEMORY);
    const auto deleteIn = [&](ITaskFolder& root) {
        return Stopped(root, name.get(), folder, [](ITaskFolder& tasks, BSTR task) {
            const HRESULT deleted = tasks.DeleteTask(task, 0);
            return deleted == kNoSuchTask ? S_OK : deleted;
        });
    };
    return Outcome(L"delete", InRootTaskFolder(deleteIn));
}

DWORD StopTask(std::wstring_view folder) {
    const Bstr name(kTaskName);
    if (!name) return Outcome(L"stop", E_OUTOFMEMORY);
    const auto stopIn = [&](ITaskFolder& root) {
        return Stopped(root, name.get(), folder, [](ITaskFolder&, BSTR) { return S_OK; });
    };
    return Outcome(L"stop", InRootTaskFolder(stopIn));
}

DWORD WriteTaskDefinition(std::wstring_view folder, const std::wstring& file) {
    const std::optional<std::wstring> definition = TaskDefinitionFor(folder);
    return definition && WriteUtf16File(file, kByteOrderMark + *definition) ? 0 : 1;
}
