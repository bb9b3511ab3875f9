// ApplyBrightness against the firmware stand-in: every field of every request the firmware
// accepts, and what each firmware failure makes of the result. No path may leave a COM object
// alive, release one twice, or leave COM initialised.
#include <gtest/gtest.h>

#include <objbase.h>

#include <algorithm>
#include <cstdio>

#include "firmware/apply_brightness.h"
#include "tests/support/standin.h"
#include "tests/support/case_name.h"

namespace {

class FirmwareTest : public testing::Test {
  protected:
    void TearDown() override {
        EXPECT_EQ(standIn.LiveObjects(), 0) << "a COM object leaked";
        EXPECT_EQ(standIn.Misuses(), 0) << "an object was used after its last release";
        // Only an uninitialised thread may choose the multithreaded apartment.
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK) << "COM left initialised";
        CoUninitialize();
    }
    StandIn standIn;
};

struct ApplyCase {
    const char* name;
    std::wstring faults;
    int given;
    bool applied;
    std::vector<int> accepted;  // the command types the firmware accepted, in order
};

class ApplyTest : public FirmwareTest, public testing::WithParamInterface<ApplyCase> {};

TEST_P(ApplyTest, RequestsAndResult) {
    const ApplyCase& apply = GetParam();
    standIn.SetFaults(apply.faults);
    EXPECT_EQ(ApplyBrightness(static_cast<std::uint8_t>(apply.given)), apply.applied);

    const int sent = std::min(apply.given, 100);
    std::vector<int> accepted;
    for (const auto& call : standIn.Calls("ExecMethod")) {
        // Whatever reaches the firmware is complete and well-formed, accepted or not.
        EXPECT_EQ(JsonField(call, "error"), "") << call;
        if (JsonField(call, "status") != "0x00000000") continue;
        const int type = std::stoi(JsonField(call, "CommandType"));
        accepted.push_back(type);
        // The stand-in rejects a wrong path, method, signature, command or size on its own.
        char last[3];
        std::snprintf(last, sizeof(last), "%02x", sent);
        EXPECT_EQ(JsonField(call, "orvBData"), type == 3 ? "03ffffffffffff" + std::string(242, '0')
                                                         : "03" + std::string(252, '0') + last)
            << "command type " << type;
    }
    EXPECT_EQ(accepted, apply.accepted);
}

const std::vector<int> kBoth = {3, 5};

// clang-format off
INSTANTIATE_TEST_SUITE_P(Requests, ApplyTest, testing::Values(
    ApplyCase{"Zero", L"", 0, true, kBoth},
    ApplyCase{"Hundred", L"", 100, true, kBoth},
    ApplyCase{"AboveHundredSentAsHundred", L"", 101, true, kBoth},
    ApplyCase{"TopByteSentAsHundred", L"", 255, true, kBoth},
    ApplyCase{"PreambleExecFails", L"exec-fail:3", 40, true, {5}},
    ApplyCase{"BrightnessExecFails", L"exec-fail:5", 40, false, {3}},
    ApplyCase{"NoInstance", L"no-instance", 40, false, {}},
    ApplyCase{"EnumerationTimesOut", L"enum-timeout", 40, false, {}},
    ApplyCase{"EnumerationFails", L"enum-fail", 40, false, {}},
    ApplyCase{"NoMethodOutput", L"no-output", 40, false, kBoth},
    ApplyCase{"OutDataNotObject", L"outdata-not-object", 40, false, kBoth},
    ApplyCase{"OutDataNullObject", L"outdata-null-object", 40, false, kBoth},
    ApplyCase{"AnswerWithoutReturnCode", L"no-return-code", 40, false, kBoth},
    ApplyCase{"NoInstancePath", L"no-path", 40, false, {}},
    ApplyCase{"SignPutFails", L"put-fail:Sign", 40, false, {}},
    ApplyCase{"PreambleFillFails", L"put-fail:Size@3", 40, true, {5}},
    ApplyCase{"BrightnessFillFails", L"put-fail:orvBData@5", 40, false, {3}},
    ApplyCase{"FirmwareClassMissing", L"missing-class:orvBIntM", 40, false, {}},
    ApplyCase{"RequestClassMissing", L"missing-class:orvBDataIn", 40, false, {}},
    ApplyCase{"ConnectFails", L"connect-fail", 40, false, {}},
    ApplyCase{"ProxyBlanketRefused", L"blanket-fail", 40, false, {}}), CaseName());
// clang-format on

TEST_F(FirmwareTest, ComAlreadyInitialisedIsLeftAsItWas) {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_TRUE(ApplyBrightness(20));
    // Still initialised, once: the apply undid its own initialisation and no more.
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    CoUninitialize();
    CoUninitialize();
}

TEST_F(FirmwareTest, ComInOtherModeFailsWithoutFirmwareAccess) {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    EXPECT_FALSE(ApplyBrightness(20));
    CoUninitialize();
    EXPECT_EQ(standIn.Calls(), std::vector<std::string>{});
}

}  // namespace
