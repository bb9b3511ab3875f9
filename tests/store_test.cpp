// The brightness store against Wine's real registry.
#include <gtest/gtest.h>

#include <optional>

#include "settings/brightness_store.h"
#include "tests/support/settings_registry.h"

namespace {

class StoreTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(DeleteSettingsKey()); }
    void TearDown() override { DeleteSettingsKey(); }
};

TEST_F(StoreTest, FirstReadCreatesKeyAndSeedsDefault) {
    std::uint8_t value = 0;
    ASSERT_TRUE(ReadStoredBrightness(value));
    EXPECT_EQ(value, 100);
    const auto stored = ReadRawBrightness();
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(stored->data, DwordBytes(100));
}

TEST_F(StoreTest, WriteThenReadRoundTrips) {
    for (const std::uint8_t written : {0, 1, 55, 100}) {
        ASSERT_TRUE(WriteStoredBrightness(written));
        std::uint8_t read = 0xEE;
        ASSERT_TRUE(ReadStoredBrightness(read));
        EXPECT_EQ(read, written);
        EXPECT_EQ(ReadRawBrightness()->data, DwordBytes(written));
    }
}

struct PresentValueCase {
    const char* name;
    RawValue before;
    bool readSucceeds;
    std::uint8_t readValue;
    RawValue after;
};

class PresentValueTest : public StoreTest, public testing::WithParamInterface<PresentValueCase> {};

TEST_P(PresentValueTest, ReadSeesAndLeaves) {
    const PresentValueCase& value = GetParam();
    ASSERT_TRUE(SetRawBrightness(value.before.type, value.before.data));
    std::uint8_t read = 0xEE;
    EXPECT_EQ(ReadStoredBrightness(read), value.readSucceeds);
    EXPECT_EQ(read, value.readSucceeds ? value.readValue : 0xEE);
    const auto stored = ReadRawBrightness();
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->type, value.after.type);
    EXPECT_EQ(stored->data, value.after.data);
}

RawValue Dword(DWORD value) {
    return {REG_DWORD, DwordBytes(value)};
}

INSTANTIATE_TEST_SUITE_P(
    Values, PresentValueTest,
    testing::Values(
        PresentValueCase{"DwordZeroKept", Dword(0), true, 0, Dword(0)},
        PresentValueCase{"Dword255", Dword(255), true, 255, Dword(255)},
        PresentValueCase{"Dword256ReadsLowByte", Dword(256), true, 0, Dword(256)},
        PresentValueCase{"Dword300ReadsLowByte", Dword(300), true, 44, Dword(300)},
        PresentValueCase{"TextReplaced", {REG_SZ, {'5', 0, '0', 0, 0, 0}}, true, 100, Dword(100)},
        PresentValueCase{
            "FourByteBinaryReplaced", {REG_BINARY, {7, 0, 0, 0}}, true, 100, Dword(100)},
        PresentValueCase{
            "QwordReplaced", {REG_QWORD, {7, 0, 0, 0, 0, 0, 0, 0}}, true, 100, Dword(100)},
        PresentValueCase{"OversizedDwordFailsUntouched",
                         {REG_DWORD, {9, 0, 0, 0, 1, 0, 0, 0}},
                         false,
                         0,
                         {REG_DWORD, {9, 0, 0, 0, 1, 0, 0, 0}}}),
    [](const testing::TestParamInfo<PresentValueCase>& info) {
        return std::string(info.param.name);
    });

TEST_F(StoreTest, OversizedDwordMakesWriteFailToo) {
    const std::vector<BYTE> oversized = {9, 0, 0, 0, 1, 0, 0, 0};
    ASSERT_TRUE(SetRawBrightness(REG_DWORD, oversized));
    EXPECT_FALSE(WriteStoredBrightness(20));
    EXPECT_EQ(ReadRawBrightness()->data, oversized);
}

}  // namespace
