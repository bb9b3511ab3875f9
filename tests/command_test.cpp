// The command as its callers see it: the built light.exe started on its own, its full exit
// code, the exact bytes it prints, the value it leaves stored and what the firmware was given.
#include <gtest/gtest.h>

#include <optional>

#include "app/front_end.h"
#include "tests/support/light_run.h"
#include "tests/support/registry.h"
#include "tests/support/standin.h"
#include "tests/support/case_name.h"

namespace {

const std::string kRange = "Brigtness must be between 0 and 100, inclusive.\r\n";
const std::string kNoValue = "Could not retrieve last used value.\r\n";
const RawValue kOversized{REG_DWORD, {9, 0, 0, 0, 1, 0, 0, 0}};
constexpr DWORD kCrashed = 0xC0000005;

std::string Usage(const std::string& name) {
    return "USAGE\r\n\r\n" + name +
           " [<brightness>]\r\n\tIf no argument is given, the last used brightness will be set "
           "again.\r\n\r\n";
}

std::string NotElevated(const std::string& name) {
    return "\r\n" + name + " must be run with administrator privileges.\r\n";
}

struct CommandCase {
    const char* name;
    std::vector<std::wstring> arguments;
    std::optional<RawValue> before;  // nullopt: no settings key at all
    DWORD exitCode;
    std::string output;
    std::optional<RawValue> after;
    int firmware;  // the brightness the firmware was given; -1: none
    std::wstring faults = L"";
    std::wstring invocationPath = L"light.exe";
    bool limited = false;
};

class CommandTest : public testing::TestWithParam<CommandCase> {
  protected:
    void SetUp() override { ASSERT_TRUE(DeleteSettingsKey()); }
    void TearDown() override { DeleteSettingsKey(); }
    StandIn standIn;
};

TEST_P(CommandTest, ExitCodeOutputStoreAndFirmware) {
    const CommandCase& command = GetParam();
    if (command.before) {
        ASSERT_TRUE(PutRawBrightness(*command.before));
    }
    standIn.SetFaults(command.faults);
    const LightRun run = RunLight({command.arguments, command.invocationPath, command.limited});
    EXPECT_EQ(run.exitCode, command.exitCode);
    EXPECT_EQ(run.output, command.output);
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(RawBrightness(), command.after);
    if (command.after) {
        EXPECT_TRUE(SettingsKeyIsPersistent()) << "gone after a restart";
    }
    EXPECT_EQ(standIn.FirmwareBrightness(), command.firmware);
    // Refused before the apply: the firmware is never touched.
    if (run.exitCode != 0 && run.exitCode != 3 && run.exitCode != kCrashed) {
        EXPECT_EQ(standIn.Calls(), std::vector<std::string>{});
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Commands, CommandTest, testing::Values(
    CommandCase{"SetZero", {L"0"}, Dword(42), 0, "", Dword(0), 0},
    CommandCase{"Set100", {L"100"}, Dword(42), 0, "", Dword(100), 100},
    CommandCase{"SetOnFirstUse", {L"30"}, std::nullopt, 0, "", Dword(30), 30},
    CommandCase{"ZerosFirstLettersAfter", {std::wstring(1000, L'0') + L"50abc"}, Dword(42), 0, "",
                Dword(50), 50},
    CommandCase{"BlanksAndPlusFirst", {L" \t+7"}, Dword(42), 0, "", Dword(7), 7},
    CommandCase{"Above100", {L"101"}, Dword(42), 2, kRange, Dword(42), -1},
    CommandCase{"MinusOneWrapsAbove100", {L"-1"}, Dword(42), 2, kRange, Dword(42), -1},
    CommandCase{"MinusTopWrapsToOne", {L"-4294967295"}, Dword(42), 0, "", Dword(1), 1},
    CommandCase{"Beyond32Bits", {L"4294967296"}, Dword(42), 2, Usage("light.exe"), Dword(42), -1},
    CommandCase{"NoDigits", {L"abc"}, Dword(42), 2, Usage("light.exe"), Dword(42), -1},
    CommandCase{"EmptyArgument", {L""}, Dword(42), 2, Usage("light.exe"), Dword(42), -1},
    CommandCase{"TwoArguments", {L"1", L"2"}, Dword(42), 1, Usage("light.exe"), Dword(42), -1},
    CommandCase{"FailedApplyStillRemembers", {L"60"}, Dword(42), 3, "", Dword(60), -1,
                L"exec-fail:5"},
    CommandCase{"StoredBeforeApplied", {L"60"}, Dword(42), kCrashed, "", Dword(60), -1,
                L"exec-crash:5"},
    CommandCase{"Restore", {}, Dword(42), 0, "", Dword(42), 42},
    CommandCase{"RestoreOnFirstUse", {}, std::nullopt, 0, "", Dword(100), 100},
    CommandCase{"RestoreClampsWithoutWriteBack", {}, Dword(200), 0, "", Dword(200), 100},
    CommandCase{"RestoreTakesLowByte", {}, Dword(300), 0, "", Dword(300), 44},
    CommandCase{"RestoreKeepsZero", {}, Dword(0), 0, "", Dword(0), 0},
    CommandCase{"Restore255AsHundred", {}, Dword(255), 0, "", Dword(255), 100},
    CommandCase{"Restore256AsZero", {}, Dword(256), 0, "", Dword(256), 0},
    CommandCase{"RestoreReplacesText", {}, RawValue{REG_SZ, {'5', 0, '0', 0, 0, 0}}, 0, "",
                Dword(100), 100},
    CommandCase{"RestoreReplacesBinary", {}, RawValue{REG_BINARY, {7, 0, 0, 0}}, 0, "", Dword(100),
                100},
    CommandCase{"SetLeavesOversizedAlone", {L"20"}, kOversized, 0, "", kOversized, 20},
    CommandCase{"RestoreFailedApply", {}, Dword(42), 3, "", Dword(42), -1, L"exec-fail:5"},
    CommandCase{"RestoreUnreadable", {}, kOversized, 4, kNoValue, kOversized, -1},
    CommandCase{"NameAfterSlash", {L"1", L"2"}, Dword(42), 1, Usage("light"), Dword(42), -1, L"",
                L"tools/light"},
    CommandCase{"NameEndsInSeparator", {L"1", L"2"}, Dword(42), 1, Usage(""), Dword(42), -1, L"",
                L"C:\\tools\\"},
    CommandCase{"NameInUtf8", {L"1", L"2"}, Dword(42), 1,
                Usage("l\xc3\xa4mp\xc3\xb6\xe7\x81\xaf\xf0\x9f\x92\xa1.exe"), Dword(42), -1, L"",
                L"C:\\\u5149\\l\u00e4mp\u00f6\u706f\U0001F4A1.exe"},
    CommandCase{"LimitedSet", {L"50"}, Dword(42), 5, NotElevated("light"), Dword(42), -1, L"",
                L"tools/light", true},
    CommandCase{"LimitedTwoArguments", {L"1", L"2"}, std::nullopt, 5, NotElevated("light.exe"),
                std::nullopt, -1, L"", L"light.exe", true}), CaseName());
// clang-format on

// Vectors the C runtime never hands over, which the entry must still survive: no name to show.
TEST(ArgumentVector, MissingVectorOrPathPrintsUsageWithEmptyName) {
    const wchar_t* const nullPath[] = {nullptr, L"1", L"2", nullptr};
    const std::pair<int, const wchar_t* const*> vectors[] = {
        {0, nullptr}, {2, nullptr}, {3, nullPath}};
    for (const auto& [argc, argv] : vectors) {
        ExitCode code = ExitOk;
        const std::string output = CaptureStandardOutput([&] { code = RunEntry(argc, argv); });
        EXPECT_EQ(code, ExitWrongArgumentCount) << argc;
        EXPECT_EQ(output, Usage("")) << argc;
    }
}

}  // namespace
