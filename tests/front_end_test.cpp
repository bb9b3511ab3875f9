// The command as its callers see it: the built light.exe, its exit code, its exact output, the
// stored value and what the firmware received.
#include <gtest/gtest.h>

#include <optional>

#include "tests/support/run_light.h"
#include "tests/support/settings_registry.h"
#include "tests/support/standin_control.h"
#include "tests/support/test_files.h"

namespace {

const std::string kRangeMessage = "Brigtness must be between 0 and 100, inclusive.\r\n";
const std::string kNoValueMessage = "Could not retrieve last used value.\r\n";

std::string Usage(const std::string& programName) {
    return "USAGE\r\n\r\n" + programName +
           " [<brightness>]\r\n\tIf no argument is given, the last used brightness will be set "
           "again.\r\n\r\n";
}

std::string NotElevated(const std::string& programName) {
    return "\r\n" + programName + " must be run with administrator privileges.\r\n";
}

std::optional<DWORD> StoredDword() {
    const auto value = ReadRawBrightness();
    if (!value || value->type != REG_DWORD || value->data.size() != 4) return std::nullopt;
    return value->data[0] | value->data[1] << 8 | value->data[2] << 16 | value->data[3] << 24;
}

struct CommandCase {
    const char* name;
    std::vector<std::wstring> arguments;
    std::optional<RawValue> storedBefore;  // nullopt: no settings key at all
    DWORD exitCode;
    std::string output;
    std::optional<DWORD> storedAfter;
    int firmwareBrightness;  // -1: the brightness request was never accepted
};

RawValue Dword(DWORD value) {
    return {REG_DWORD, DwordBytes(value)};
}

class CommandTest : public testing::TestWithParam<CommandCase> {
  protected:
    void SetUp() override { ASSERT_TRUE(DeleteSettingsKey()); }
    void TearDown() override { DeleteSettingsKey(); }
    StandInControl standIn;
};

TEST_P(CommandTest, ExitCodeOutputStoreAndFirmware) {
    const CommandCase& command = GetParam();
    if (command.storedBefore) {
        ASSERT_TRUE(SetRawBrightness(command.storedBefore->type, command.storedBefore->data));
    }
    const LightRun run = RunLight({command.arguments});
    EXPECT_EQ(run.exitCode, command.exitCode);
    EXPECT_EQ(run.output, command.output);
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(StoredDword(), command.storedAfter);
    EXPECT_EQ(standIn.FirmwareBrightness(), command.firmwareBrightness);
    if (command.firmwareBrightness < 0) {
        EXPECT_TRUE(standIn.Calls("ExecMethod").empty());
    }
}

const RawValue kLongDword{REG_DWORD, {1, 0, 0, 0, 0, 0, 0, 0}};

INSTANTIATE_TEST_SUITE_P(
    Commands, CommandTest,
    testing::Values(
        CommandCase{"Set50", {L"50"}, Dword(42), 0, "", 50, 50},
        CommandCase{"SetZero", {L"0"}, Dword(42), 0, "", 0, 0},
        CommandCase{"Set100", {L"100"}, Dword(42), 0, "", 100, 100},
        CommandCase{"SetOnFirstUse", {L"30"}, std::nullopt, 0, "", 30, 30},
        CommandCase{"TrailingLettersIgnored", {L"50abc"}, Dword(42), 0, "", 50, 50},
        CommandCase{"LeadingBlankSkipped", {L" 7"}, Dword(42), 0, "", 7, 7},
        CommandCase{"Above100", {L"101"}, Dword(42), 2, kRangeMessage, 42, -1},
        CommandCase{"LargestUnsigned", {L"4294967295"}, Dword(42), 2, kRangeMessage, 42, -1},
        CommandCase{"Beyond32Bits", {L"4294967296"}, Dword(42), 2, Usage("light.exe"), 42, -1},
        CommandCase{"NoDigits", {L"abc"}, Dword(42), 2, Usage("light.exe"), 42, -1},
        CommandCase{"EmptyArgument", {L""}, Dword(42), 2, Usage("light.exe"), 42, -1},
        CommandCase{"TwoArguments", {L"1", L"2"}, Dword(42), 1, Usage("light.exe"), 42, -1},
        CommandCase{"Restore", {}, Dword(42), 0, "", 42, 42},
        CommandCase{"RestoreOnFirstUse", {}, std::nullopt, 0, "", 100, 100},
        CommandCase{"RestoreClampsWithoutWriteBack", {}, Dword(200), 0, "", 200, 100},
        CommandCase{"RestoreLowByte", {}, Dword(300), 0, "", 300, 44},
        CommandCase{"RestoreUnreadable", {}, kLongDword, 4, kNoValueMessage, std::nullopt, -1}),
    [](const testing::TestParamInfo<CommandCase>& info) { return std::string(info.param.name); });

struct NameCase {
    const char* name;
    std::wstring invocationPath;
    std::string shownName;
};

class ProgramNameTest : public testing::TestWithParam<NameCase> {};

// The name reaches the user intact, in UTF-8, whatever it holds and wherever it stands.
TEST_P(ProgramNameTest, ShownInUsage) {
    const LightRun run = RunLight({{L"1", L"2"}, GetParam().invocationPath});
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.output, Usage(GetParam().shownName));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ProgramNameTest,
    testing::Values(NameCase{"BackslashPath", L"C:\\tools\\light.exe", "light.exe"},
                    NameCase{"SlashPath", L"tools/light", "light"},
                    NameCase{"BareName", L"light", "light"},
                    NameCase{"EndsInSeparator", L"C:\\tools\\", ""},
                    NameCase{"NonAscii", L"C:\\tools\\l\u00e4mp\u00f6.exe",
                             "l\xc3\xa4mp\xc3\xb6.exe"},
                    NameCase{"BeyondLatin1", L"C:\\\u5149\\\u706f\U0001F4A1.exe",
                             "\xe7\x81\xaf\xf0\x9f\x92\xa1.exe"}),
    [](const testing::TestParamInfo<NameCase>& info) { return std::string(info.param.name); });

class NotElevatedTest : public testing::TestWithParam<std::vector<std::wstring>> {};

// A limited process is refused before anything else: no usage, no registry, no firmware.
TEST_P(NotElevatedTest, RefusedWithoutTouchingAnything) {
    ASSERT_TRUE(DeleteSettingsKey());
    StandInControl standIn;
    const LightRun run = RunLight({GetParam(), L"C:\\tools\\light.exe", true});
    EXPECT_EQ(run.exitCode, 5u);
    EXPECT_EQ(run.output, NotElevated("light.exe"));
    EXPECT_EQ(run.errors, "");
    EXPECT_FALSE(ReadRawBrightness().has_value());
    EXPECT_TRUE(standIn.Calls().empty());
}

INSTANTIATE_TEST_SUITE_P(AnyArguments, NotElevatedTest,
                         testing::Values(std::vector<std::wstring>{},
                                         std::vector<std::wstring>{L"50"},
                                         std::vector<std::wstring>{L"1", L"2"}));

}  // namespace
