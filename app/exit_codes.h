#pragma once

// The process exit status; callers and scripts read these numbers, so they never change.
enum ExitCode : int {
    ExitOk = 0,
    ExitWrongArgumentCount = 1,
    ExitBadArgument = 2,
    ExitApplyFailed = 3,
    ExitNoStoredValue = 4,
    ExitNotElevated = 5,
};
