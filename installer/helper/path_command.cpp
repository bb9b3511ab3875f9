#include "installer/helper/path_command.h"

#include <windows.h>

#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "installer/helper/report.h"
#include "installer/helper/system_path.h"

namespace {

constexpr wchar_t kEnvironmentKey[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
constexpr wchar_t kPathName[] = L"Path";
// Where a folder added for Windows Installer is recorded, in the 64-bit view of HKLM.
constexpr wchar_t kVendorKey[] = L"SOFTWARE\\Orvane";
constexpr wchar_t kRecordKey[] = L"SOFTWARE\\Orvane\\Light";
constexpr wchar_t kRecordName[] = L"PathEntry";
// The most a process's environment variable can hold.
constexpr size_t kMaxPathLength = 32767;

struct SystemPath {
    std::wstring text;
    DWORD type = REG_NONE;
};

PathOutcome LeftAsItIs(const std::wstring& why) {
    Report(L"The system PATH was left as it is: " + why);
    return PathLeftAsItIs;
}

// Reads the whole value, however long, and only a string that can be written back unchanged.
std::optional<SystemPath> ReadSystemPath(HKEY key, std::wstring& why) {
    std::vector<BYTE> data;
    SystemPath path;
    LSTATUS status = ERROR_MORE_DATA;
    for (int attempt = 0; attempt < 3 && status == ERROR_MORE_DATA; ++attempt) {
        DWORD size = 0;
        status = RegQueryValueExW(key, kPathName, nullptr, &path.type, nullptr, &size);
        if (status != ERROR_SUCCESS) break;
        data.resize(size);
        status = RegQueryValueExW(key, kPathName, nullptr, &path.type, data.data(), &size);
        data.resize(size);
    }
    if (status != ERROR_SUCCESS) {
        why = L"it could not be read (error " + std::to_wstring(status) + L").";
        return std::nullopt;
    }
    if (path.type != REG_SZ && path.type != REG_EXPAND_SZ) {
        why = L"it is not a string value.";
        return std::nullopt;
    }
    if (data.size() % sizeof(wchar_t) != 0) {
        why = L"its value has an odd number of bytes.";
        return std::nullopt;
    }
    path.text.resize(data.size() / sizeof(wchar_t));
    std::memcpy(path.text.data(), data.data(), path.text.size() * sizeof(wchar_t));
    if (!path.text.empty() && path.text.back() == L'\0') path.text.pop_back();
    if (path.text.find(L'\0') != std::wstring::npos) {
        why = L"its value holds a NUL character before its end.";
        return std::nullopt;
    }
    return path;
}

// Adds or removes `folder`; `beforeWriting`, if given, runs once the PATH is known to change, and
// leaves it as it is by returning false.
PathOutcome Change(std::wstring_view folder, bool add,
                   const std::function<bool()>& beforeWriting = nullptr) {
    HKEY key = nullptr;
    LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEnvironmentKey, 0,
                                   KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY, &key);
    if (status != ERROR_SUCCESS) {
        return LeftAsItIs(L"its key could not be opened (error " + std::to_wstring(status) + L").");
    }
    std::wstring why;
    PathOutcome outcome = PathLeftAsItIs;
    const std::optional<SystemPath> path = ReadSystemPath(key, why);
    std::optional<std::wstring> changed;
    if (path)
        changed = add ? PathWithFolder(path->text, folder) : PathWithoutFolder(path->text, folder);
    if (!path) {
        outcome = LeftAsItIs(why);
    } else if (!changed) {
        outcome = PathAlreadyAsWanted;
    } else if (changed->size() > kMaxPathLength) {
        outcome = LeftAsItIs(L"with this folder it would be longer than 32,767 characters.");
    } else if (beforeWriting && !beforeWriting()) {
        outcome = PathLeftAsItIs;
    } else {
        // The size in bytes counts the terminating NUL; the value keeps its type.
        status = RegSetValueExW(key, kPathName, 0, path->type,
                                reinterpret_cast<const BYTE*>(changed->c_str()),
                                static_cast<DWORD>((changed->size() + 1) * sizeof(wchar_t)));
        outcome =
            status == ERROR_SUCCESS
                ? PathChanged
                : LeftAsItIs(L"it could not be written (error " + std::to_wstring(status) + L").");
    }
    RegCloseKey(key);
    if (outcome == PathChanged) {
        // Running programs that care (Explorer, and shells started from it) reread it.
        SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0,
                            reinterpret_cast<LPARAM>(L"Environment"), SMTO_ABORTIFHUNG, 5000,
                            nullptr);
    }
    return outcome;
}

// Deletes a key of HKLM's 64-bit view that holds neither values nor keys.
void DeleteIfEmpty(const wchar_t* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) !=
        ERROR_SUCCESS) {
        return;
    }
    DWORD keys = 0;
    DWORD values = 0;
    const LSTATUS status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &keys, nullptr, nullptr,
                                            &values, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    if (status == ERROR_SUCCESS && keys == 0 && values == 0) {
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path, KEY_WOW64_64KEY, 0);
    }
}

}  // namespace

PathOutcome AddToSystemPath(std::wstring_view folder) {
    // A separator inside the folder's name would split it into two entries.
    if (folder.find(L';') != std::wstring_view::npos) {
        return LeftAsItIs(L"the folder's name holds a ';'.");
    }
    return Change(folder, true);
}

PathOutcome RemoveFromSystemPath(std::wstring_view folder) {
    return Change(folder, false);
}

PathOutcome AddToSystemPathRecorded(std::wstring_view folder) {
    if (folder.find(L';') != std::wstring_view::npos) {
        return LeftAsItIs(L"the folder's name holds a ';'.");
    }
    // Recorded before it is added: an entry never outlives its record, whatever stops this
    // halfway, so that taking off the recorded folder undoes any part of this.
    bool recorded = false;
    const PathOutcome outcome = Change(folder, true, [&] {
        HKEY key = nullptr;
        const std::wstring text(folder);
        LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRecordKey, 0, nullptr, 0,
                                         KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr);
        if (status == ERROR_SUCCESS) {
            status = RegSetValueExW(key, kRecordName, 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(text.c_str()),
                                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
            RegCloseKey(key);
        }
        recorded = status == ERROR_SUCCESS;
        if (!recorded) {
            Report(L"The system PATH was left as it is: the entry could not be recorded (error " +
                   std::to_wstring(status) + L").");
        }
        return recorded;
    });
    // A PATH left as it was needs no record.
    if (recorded && outcome != PathChanged) RemoveRecordedFromSystemPath();
    return outcome;
}

PathOutcome RemoveRecordedFromSystemPath() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRecordKey, 0,
                      KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
        return PathAlreadyAsWanted;
    }
    wchar_t folder[MAX_PATH * 4] = {};
    DWORD size = sizeof(folder) - sizeof(wchar_t);
    DWORD type = REG_NONE;
    PathOutcome outcome = PathAlreadyAsWanted;
    if (RegQueryValueExW(key, kRecordName, nullptr, &type, reinterpret_cast<BYTE*>(folder),
                         &size) == ERROR_SUCCESS &&
        type == REG_SZ) {
        outcome = RemoveFromSystemPath(folder);
        if (outcome != PathLeftAsItIs) RegDeleteValueW(key, kRecordName);
    }
    RegCloseKey(key);
    // The record may have made both keys: an undone installation leaves neither behind.
    DeleteIfEmpty(kRecordKey);
    DeleteIfEmpty(kVendorKey);
    return outcome;
}
