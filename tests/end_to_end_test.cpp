// Set, then restore, through the built program, as a logon task would.
#include <gtest/gtest.h>

#include "tests/support/run_light.h"
#include "tests/support/settings_registry.h"
#include "tests/support/standin_control.h"

namespace {

class EndToEndTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(DeleteSettingsKey()); }
    void TearDown() override { DeleteSettingsKey(); }
    StandInControl standIn;
};

TEST_F(EndToEndTest, RestoreAppliesWhatWasSetLast) {
    ASSERT_EQ(RunLight({{L"65"}}).exitCode, 0u);
    ASSERT_EQ(RunLight({{L"35"}}).exitCode, 0u);
    ASSERT_EQ(RunLight({}).exitCode, 0u);
    const auto requests = standIn.Calls("ExecMethod");
    ASSERT_EQ(requests.size(), 6u);
    EXPECT_EQ(JsonField(requests[5], "CommandType"), "5");
    EXPECT_EQ(JsonField(requests[5], "orvBData").substr(254), "23");
    EXPECT_EQ(standIn.FirmwareBrightness(), 35);
}

TEST_F(EndToEndTest, FailedApplyStillRemembersTheNewValue) {
    ASSERT_EQ(RunLight({{L"20"}}).exitCode, 0u);
    standIn.SetFaults(L"exec-fail:5");
    const LightRun failed = RunLight({{L"60"}});
    EXPECT_EQ(failed.exitCode, 3u);
    EXPECT_EQ(failed.output, "");
    EXPECT_EQ(standIn.FirmwareBrightness(), 20);

    standIn.SetFaults(L"");
    EXPECT_EQ(RunLight({}).exitCode, 0u);
    EXPECT_EQ(standIn.FirmwareBrightness(), 60);
}

// A program started on its own releases every stand-in object before COM shuts down.
TEST_F(EndToEndTest, EveryRunLeavesNoLiveObject) {
    for (const std::wstring faults : {L"", L"exec-fail:5", L"no-instance", L"no-output"}) {
        standIn.SetFaults(faults);
        RunLight({{L"10"}});
    }
    const auto checks = standIn.Calls("DllCanUnloadNow");
    ASSERT_EQ(checks.size(), 4u);
    for (const auto& check : checks) EXPECT_EQ(JsonField(check, "live"), "0");
}

}  // namespace
