#include "app/front_end.h"

#include <windows.h>

#include <cstdint>

#include "app/argument.h"
#include "app/console_output.h"
#include "firmware/apply_brightness.h"
#include "settings/brightness_store.h"

namespace {

// Set once at start, read by the not-elevated message and the usage text.
std::wstring programName;

// Every line is written whole, with its newline, as soon as it is complete.
void WriteLine(std::wstring_view text) {
    WriteStandardOutput(std::wstring(text) + L"\n");
}

ExitCode ApplyResult(std::uint8_t brightness) {
    return ApplyBrightness(brightness) ? ExitOk : ExitApplyFailed;
}

}  // namespace

std::wstring ProgramNameFromPath(std::wstring_view invocationPath) {
    const auto separator = invocationPath.find_last_of(L"\\/");
    if (separator == std::wstring_view::npos) return std::wstring(invocationPath);
    return std::wstring(invocationPath.substr(separator + 1));
}

bool IsProcessElevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    TOKEN_ELEVATION elevation{};
    DWORD returnedLength = 0;
    const BOOL queried =
        GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &returnedLength);
    CloseHandle(token);
    return queried && elevation.TokenIsElevated != 0;
}

void PrintUsage() {
    WriteLine(L"USAGE");
    WriteLine(L"");
    WriteLine(programName + L" [<brightness>]");
    WriteLine(L"\tIf no argument is given, the last used brightness will be set again.");
    WriteLine(L"");
}

ExitCode RunSetCommand(const std::wstring& argument) {
    // Anything after the digits is ignored; no digits or an overflow is no number.
    const std::optional<std::uint32_t> value = ReadUnsignedArgument(argument);
    if (!value) {
        PrintUsage();
        return ExitBadArgument;
    }
    if (*value > kMaxBrightness) {
        WriteLine(L"Brigtness must be between 0 and 100, inclusive.");
        return ExitBadArgument;
    }
    const auto brightness = static_cast<std::uint8_t>(*value);
    // Stored before it is applied, so a failed apply still leaves the value for the next restore.
    // A failed write is deliberately silent: the apply is what the caller asked for.
    WriteStoredBrightness(brightness);
    return ApplyResult(brightness);
}

ExitCode RunRestoreCommand() {
    std::uint8_t brightness = 0;
    if (!ReadStoredBrightness(brightness)) {
        WriteLine(L"Could not retrieve last used value.");
        return ExitNoStoredValue;
    }
    // A hand-edited value above the range is applied as 100 but left as it is in the store.
    if (brightness > kMaxBrightness) brightness = kMaxBrightness;
    return ApplyResult(brightness);
}

ExitCode RunEntry(int argc, const wchar_t* const* argv) {
    const bool hasPath = argc > 0 && argv != nullptr && argv[0] != nullptr;
    programName = hasPath ? ProgramNameFromPath(argv[0]) : std::wstring();

    // The gate comes before anything else, so a limited process never even prints usage.
    if (!IsProcessElevated()) {
        WriteLine(L"");
        WriteLine(programName + L" must be run with administrator privileges.");
        return ExitNotElevated;
    }
    switch (argc) {
        case 1:
            return RunRestoreCommand();
        case 2:
            // A vector the C runtime never fills has no argument to read.
            if (argv != nullptr && argv[1] != nullptr) return RunSetCommand(argv[1]);
            break;
        default:
            break;
    }
    PrintUsage();
    return ExitWrongArgumentCount;
}
