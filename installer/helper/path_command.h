#pragma once

#include <string_view>

// Puts the installed folder on the system PATH, or takes it off again, in the registry where
// every new process finds it, and tells running programs that the environment changed. A PATH
// that cannot be changed safely is left exactly as it is, with a line saying why.
enum PathOutcome : int {
    PathChanged = 0,
    PathAlreadyAsWanted = 1,  // already on it (add), or not on it (remove)
    PathLeftAsItIs = 2,
};

PathOutcome AddToSystemPath(std::wstring_view folder);
PathOutcome RemoveFromSystemPath(std::wstring_view folder);
