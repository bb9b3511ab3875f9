#pragma once

#include <string_view>

// Where an installation may go. The scheduled task runs light.exe as SYSTEM, so only
// administrators may change anything on the way to it: the installation's own folder, or a
// folder made now directly inside Program Files, which takes Program Files' access list. An
// existing folder keeps whatever access list it has, so it is refused, as is a nested or a
// foreign one. Both installers ask this, the EXE through `setup-helper check-folder`, which ends
// with the problem as its exit code.
enum class FolderProblem : int {
    None = 0,
    NotDirectlyInProgramFiles = 1,
    UnsuitableName = 2,  // a space at either end, a dot at the end, or over 200 characters
    Exists = 3,
};

// `folder`, `programFiles` and `installed` (the folder of the installation there is, or empty)
// are full paths without a trailing backslash; letter case does not matter.
FolderProblem InstallFolderProblem(std::wstring_view folder, std::wstring_view programFiles,
                                   std::wstring_view installed);
