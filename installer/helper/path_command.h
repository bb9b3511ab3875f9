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

// For an installer that cannot act on an exit code (Windows Installer, whose rollback and
// uninstall must take off only what its install added): a folder this adds is recorded, and
// RemoveRecordedFromSystemPath takes off the recorded folder only, then forgets it, and deletes
// the record's keys once they hold nothing else.
PathOutcome AddToSystemPathRecorded(std::wstring_view folder);
PathOutcome RemoveRecordedFromSystemPath();
