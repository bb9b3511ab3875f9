#pragma once

#include <string>

// A file or folder named on the command line, relative to the current folder or not, as a full
// path: the helper, the installer and the uninstaller then mean the same one whatever folder
// each runs in. Empty where it names none.
std::wstring FullPath(const std::wstring& name);

// A folder as installers store and compare it: without the trailing "\." or backslash with which
// Windows Installer writes one ("C:\Program Files\Light\." is "C:\Program Files\Light"), and
// otherwise as given. No other normalising: Windows would quietly drop a dot or space at the end
// of a name, which the folder rule must see.
std::wstring FolderPath(std::wstring name);
