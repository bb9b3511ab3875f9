// ApplyBrightness against the firmware stand-in: what the firmware receives, field by field, and
// what each firmware failure makes of the result. No path may leave a COM object alive.
#include <gtest/gtest.h>

#include <objbase.h>

#include "firmware/apply_brightness.h"
#include "tests/support/standin_control.h"

namespace {

const std::string kInstancePath = "\\\\STANDIN\\root\\wmi:orvBIntM.InstanceName=\"StandIn_0\"";

std::string HexBlock(std::initializer_list<std::pair<int, int>> bytes) {
    std::string block(256, '0');
    static const char kDigits[] = "0123456789abcdef";
    for (const auto& [index, value] : bytes) {
        block[index * 2] = kDigits[value >> 4];
        block[index * 2 + 1] = kDigits[value & 0xF];
    }
    return block;
}

const std::string kPreambleData =
    HexBlock({{0, 3}, {1, 0xFF}, {2, 0xFF}, {3, 0xFF}, {4, 0xFF}, {5, 0xFF}, {6, 0xFF}});

class FirmwareTest : public testing::Test {
  protected:
    void TearDown() override { EXPECT_EQ(standIn.LiveObjects(), 0) << "a COM object leaked"; }

    std::vector<std::string> ExecutedCommandTypes() const {
        std::vector<std::string> types;
        for (const auto& call : standIn.Calls("ExecMethod")) {
            if (JsonField(call, "status") == "0x00000000") {
                types.push_back(JsonField(call, "CommandType"));
            }
        }
        return types;
    }

    StandInControl standIn;
};

void ExpectRequest(const std::string& call, const std::string& commandType,
                   const std::string& data) {
    EXPECT_EQ(JsonField(call, "status"), "0x00000000") << JsonField(call, "error");
    EXPECT_EQ(JsonField(call, "path"), kInstancePath);
    EXPECT_EQ(JsonField(call, "method"), "orvBIOSInt0");
    EXPECT_EQ(JsonField(call, "Sign"), "53454355");
    EXPECT_EQ(JsonField(call, "Command"), "131081");
    EXPECT_EQ(JsonField(call, "CommandType"), commandType);
    EXPECT_EQ(JsonField(call, "Size"), "128");
    EXPECT_EQ(JsonField(call, "orvBData"), data);
}

struct BrightnessCase {
    int given;
    int sent;
};

class BrightnessTest : public FirmwareTest, public testing::WithParamInterface<BrightnessCase> {};

TEST_P(BrightnessTest, PreambleThenBrightnessRequest) {
    ASSERT_TRUE(ApplyBrightness(static_cast<std::uint8_t>(GetParam().given)));
    const auto calls = standIn.Calls("ExecMethod");
    ASSERT_EQ(calls.size(), 2u);
    ExpectRequest(calls[0], "3", kPreambleData);
    ExpectRequest(calls[1], "5", HexBlock({{0, 3}, {127, GetParam().sent}}));
    EXPECT_EQ(standIn.FirmwareBrightness(), GetParam().sent);
    EXPECT_EQ(standIn.Calls("CreateLocator").size(), 2u) << "one fresh channel per request";
}

INSTANTIATE_TEST_SUITE_P(Values, BrightnessTest,
                         testing::Values(BrightnessCase{0, 0}, BrightnessCase{50, 50},
                                         BrightnessCase{100, 100}, BrightnessCase{101, 100},
                                         BrightnessCase{150, 100}, BrightnessCase{255, 100}));

struct FaultCase {
    const char* name;
    std::wstring faults;
    bool applied;
    std::vector<std::string> executed;  // command types the firmware accepted, in order
};

class FaultTest : public FirmwareTest, public testing::WithParamInterface<FaultCase> {};

TEST_P(FaultTest, ResultRestsOnBrightnessRequestAlone) {
    standIn.SetFaults(GetParam().faults);
    EXPECT_EQ(ApplyBrightness(40), GetParam().applied);
    EXPECT_EQ(ExecutedCommandTypes(), GetParam().executed);
    // Whatever was sent went out complete.
    for (const auto& call : standIn.Calls("ExecMethod")) {
        EXPECT_EQ(JsonField(call, "error"), "") << call;
    }
}

const std::vector<std::string> kBoth = {"3", "5"};

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultTest,
    testing::Values(FaultCase{"None", L"", true, kBoth},
                    FaultCase{"PreambleExecFails", L"exec-fail:3", true, {"5"}},
                    FaultCase{"BrightnessExecFails", L"exec-fail:5", false, {"3"}},
                    FaultCase{"NoInstance", L"no-instance", false, {}},
                    FaultCase{"EnumerationTimesOut", L"enum-timeout", false, {}},
                    FaultCase{"EnumerationFails", L"enum-fail", false, {}},
                    FaultCase{"NoMethodOutput", L"no-output", false, kBoth},
                    FaultCase{"OutDataNotObject", L"outdata-not-object", false, kBoth},
                    FaultCase{"OutDataNullObject", L"outdata-null-object", false, kBoth},
                    FaultCase{"NoInstancePath", L"no-path", false, {}},
                    FaultCase{"SignPutFails", L"put-fail:Sign", false, {}},
                    FaultCase{"PreambleFillFails", L"put-fail:Size@3", true, {"5"}},
                    FaultCase{"PreambleInDataFails", L"put-fail:InData@3", true, {"5"}},
                    FaultCase{"BrightnessFillFails", L"put-fail:orvBData@5", false, {"3"}},
                    FaultCase{"FirmwareClassMissing", L"missing-class:orvBIntM", false, {}},
                    FaultCase{"RequestClassMissing", L"missing-class:orvBDataIn", false, {}},
                    FaultCase{"ConnectFails", L"connect-fail", false, {}}),
    [](const testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

TEST_F(FirmwareTest, ComAlreadyInitialisedIsKeptAsItWas) {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_TRUE(ApplyBrightness(20));
    // Still initialised once by this test: the apply undid only its own initialisation.
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    CoUninitialize();
    CoUninitialize();
}

TEST_F(FirmwareTest, ComInOtherModeFailsWithoutFirmwareAccess) {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    EXPECT_FALSE(ApplyBrightness(20));
    CoUninitialize();
    EXPECT_TRUE(standIn.Calls().empty());
}

// Wine's own WMI has no firmware class: the request must fail, not pass for success.
TEST(WineWmi, WithoutFirmwareProviderApplyFails) {
    const std::wstring standInPath = LocatorServerPath();
    ASSERT_TRUE(SetLocatorServerPath(L"C:\\windows\\system32\\wbem\\wbemprox.dll"));
    const bool applied = ApplyBrightness(50);
    ASSERT_TRUE(SetLocatorServerPath(standInPath));
    EXPECT_FALSE(applied);
}

}  // namespace
