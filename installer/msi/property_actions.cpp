// The Windows Installer package's custom actions, which apply the EXE installer's rules to its
// public properties: BRIGHTNESS (installer/helper/brightness_option.h), for a launch condition,
// and INSTALLDIR (installer/helper/install_folder.h), refusing a folder the rule does not take
// and saying why; and which refuse while the EXE installer runs
// (installer/helper/installation_lock.h).
#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include <string>

#include "installer/helper/brightness_option.h"
#include "installer/helper/full_path.h"
#include "installer/helper/install_folder.h"
#include "installer/helper/installation_lock.h"

namespace {

std::wstring Property(MSIHANDLE install, const wchar_t* name) {
    DWORD length = 0;
    wchar_t none[1] = {};
    if (MsiGetPropertyW(install, name, none, &length) != ERROR_MORE_DATA) return {};
    std::wstring value(++length, L'\0');
    if (MsiGetPropertyW(install, name, value.data(), &length) != ERROR_SUCCESS) return {};
    value.resize(length);
    return value;
}

std::wstring Why(FolderProblem problem, const std::wstring& folder,
                 const std::wstring& programFiles) {
    switch (problem) {
        case FolderProblem::NotDirectlyInProgramFiles:
            return folder + L" is not a folder directly inside " + programFiles + L".";
        case FolderProblem::UnsuitableName:
            return folder +
                   L" is not a folder the installer takes: no space at either end of its name, no "
                   L"dot at its end, and 200 characters in all at most.";
        case FolderProblem::Exists:
            return folder +
                   L" exists already and is not Light's installation; its access list may let "
                   L"others change what runs as SYSTEM. Choose a new folder.";
        case FolderProblem::None:
            break;
    }
    return {};
}

// Ends the installation with `why` in its log, and on screen where it has one.
UINT Refuse(MSIHANDLE install, const wchar_t* why) {
    const MSIHANDLE record = MsiCreateRecord(1);
    if (record != 0) {
        MsiRecordSetStringW(record, 0, L"[1]");
        MsiRecordSetStringW(record, 1, why);
        MsiProcessMessage(install, INSTALLMESSAGE(INSTALLMESSAGE_ERROR | MB_OK), record);
        MsiCloseHandle(record);
    }
    return ERROR_INSTALL_FAILURE;
}

// Runs an action, of which nothing may leave this DLL but its result: Windows Installer calls it
// as a C function. One that runs out of memory fails the installation.
template <typename Action>
UINT Contained(MSIHANDLE install, Action action) {
    try {
        return action();
    } catch (...) {
        return Refuse(install, L"Out of memory.");
    }
}

// The component that holds light.exe, which every version of the package installs.
constexpr wchar_t kProgramComponent[] = L"{0B8F2C71-5D3E-4A6B-8E19-7C4D2F6A1B35}";

}  // namespace

// Immediate, first of all: a run of the EXE installer may be halfway, and the folder or the
// entries it is making would be misread. Windows Installer's own mutex, which an MSI holds from
// its first step, makes a later run of it wait.
extern "C" __declspec(dllexport) UINT __stdcall CheckNoOtherInstallation(MSIHANDLE install) {
    if (!InstallationRunning()) return ERROR_SUCCESS;
    return Refuse(install,
                  L"Another installation of Light is running (its EXE installer or uninstaller). "
                  L"Nothing was changed: run this again once it has ended.");
}

// Immediate, once InstallValidate has run, for a new installation where rollback is disabled:
// Windows Installer may decide so itself, short of disk space, after the launch conditions.
extern "C" __declspec(dllexport) UINT __stdcall RefuseWithoutRollback(MSIHANDLE install) {
    return Refuse(install,
                  L"Rollback is disabled here, so a step that failed could not be undone. Light's "
                  L"package installs only where it can be.");
}

// Immediate, after AppSearch, where LIGHTINSTALLED is empty: the InstallFolder value, which it
// reads, was deleted. An earlier version's light.exe still says where it went.
extern "C" __declspec(dllexport) UINT __stdcall FindInstalledFolder(MSIHANDLE install) {
    return Contained(install, [&]() -> UINT {
        wchar_t program[MAX_PATH + 1] = {};
        DWORD length = MAX_PATH + 1;
        const INSTALLSTATE state = MsiLocateComponentW(kProgramComponent, program, &length);
        // Absent: the file was deleted too, and its folder is known all the same.
        if (state != INSTALLSTATE_LOCAL && state != INSTALLSTATE_ABSENT) return ERROR_SUCCESS;
        std::wstring folder(program, length);
        const size_t name = folder.find_last_of(L'\\');
        if (name == std::wstring::npos) return ERROR_SUCCESS;
        folder.resize(name + 1);
        return MsiSetPropertyW(install, L"LIGHTINSTALLED", folder.c_str());
    });
}

// Immediate, after CostFinalize: INSTALLDIR is resolved, the earlier installation's folder is in
// LIGHTINSTALLED.
extern "C" __declspec(dllexport) UINT __stdcall CheckInstallFolder(MSIHANDLE install) {
    return Contained(install, [&]() -> UINT {
        const std::wstring folder = FolderPath(Property(install, L"INSTALLDIR"));
        const std::wstring programFiles = FolderPath(Property(install, L"ProgramFiles64Folder"));
        const std::wstring installed = Property(install, L"LIGHTINSTALLED");
        const std::wstring why =
            Why(InstallFolderProblem(folder, programFiles,
                                     installed.empty() ? L"" : FolderPath(installed)),
                folder, programFiles);
        return why.empty() ? ERROR_SUCCESS : Refuse(install, why.c_str());
    });
}

// Immediate, before LaunchConditions: LightBrightnessValid, a private property, is 1 when
// BRIGHTNESS is a brightness option. The launch condition refuses with its message otherwise.
extern "C" __declspec(dllexport) UINT __stdcall CheckBrightness(MSIHANDLE install) {
    return Contained(install, [&]() -> UINT {
        const bool valid = IsBrightnessOption(Property(install, L"BRIGHTNESS"));
        return MsiSetPropertyW(install, L"LightBrightnessValid", valid ? L"1" : L"");
    });
}
