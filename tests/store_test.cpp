// The brightness store against Wine's real registry, and the security its key is created with.
#include <gtest/gtest.h>

#include <optional>

#include <windows.h>
#include <sddl.h>

#include "settings/brightness_store.h"
#include "settings/key_security.h"
#include "tests/support/registry.h"

namespace {

const RawValue kOversized{REG_DWORD, {9, 0, 0, 0, 1, 0, 0, 0}};
constexpr int kRead = -1;

struct StoreCase {
    const char* name;
    std::optional<RawValue> before;  // nullopt: no settings key at all
    int write;                       // kRead: a read instead
    bool succeeds;
    int read;  // what a successful read returns
    RawValue after;
};

class StoreTest : public testing::TestWithParam<StoreCase> {
  protected:
    void SetUp() override { ASSERT_TRUE(DeleteSettingsKey()); }
    void TearDown() override { DeleteSettingsKey(); }
};

TEST_P(StoreTest, ResultValueAndWhatIsLeftStored) {
    const StoreCase& store = GetParam();
    if (store.before) {
        ASSERT_TRUE(PutRawBrightness(*store.before));
    }
    std::uint8_t read = 0xEE;
    const bool succeeded = store.write == kRead
                               ? ReadStoredBrightness(read)
                               : WriteStoredBrightness(static_cast<std::uint8_t>(store.write));
    EXPECT_EQ(succeeded, store.succeeds);
    // A failed read leaves the caller's value as it was.
    if (store.write == kRead) {
        EXPECT_EQ(read, succeeded ? store.read : 0xEE);
    }
    EXPECT_EQ(RawBrightness(), store.after);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Values, StoreTest, testing::Values(
    StoreCase{"FirstReadSeedsDefault", std::nullopt, kRead, true, 100, Dword(100)},
    StoreCase{"FirstWrite", std::nullopt, 30, true, 0, Dword(30)},
    StoreCase{"WriteZero", Dword(42), 0, true, 0, Dword(0)},
    StoreCase{"Write100", Dword(42), 100, true, 0, Dword(100)},
    StoreCase{"ZeroKept", Dword(0), kRead, true, 0, Dword(0)},
    StoreCase{"Read255", Dword(255), kRead, true, 255, Dword(255)},
    StoreCase{"Read256AsLowByte", Dword(256), kRead, true, 0, Dword(256)},
    StoreCase{"Read300AsLowByte", Dword(300), kRead, true, 44, Dword(300)},
    StoreCase{"TextReplaced", RawValue{REG_SZ, {'5', 0, '0', 0, 0, 0}}, kRead, true, 100,
              Dword(100)},
    StoreCase{"FourByteBinaryReplaced", RawValue{REG_BINARY, {7, 0, 0, 0}}, kRead, true, 100,
              Dword(100)},
    StoreCase{"QwordReplacedOnWrite", RawValue{REG_QWORD, {7, 0, 0, 0, 0, 0, 0, 0}}, 20, true, 0,
              Dword(20)},
    StoreCase{"OversizedFailsRead", kOversized, kRead, false, 0, kOversized},
    StoreCase{"OversizedFailsWrite", kOversized, 20, false, 0, kOversized}),
    [](const testing::TestParamInfo<StoreCase>& info) { return std::string(info.param.name); });
// clang-format on

// Read back from the descriptor itself: Wine does not apply it to the key.
TEST(KeySecurity, EveryoneReadsAdministratorsChange) {
    SecuredKeyAttributes security = BuildKeySecurity();
    ASSERT_NE(security.attributes, nullptr);
    EXPECT_EQ(security.attributes->nLength, sizeof(SECURITY_ATTRIBUTES));
    EXPECT_FALSE(security.attributes->bInheritHandle);
    PSECURITY_DESCRIPTOR descriptor = security.attributes->lpSecurityDescriptor;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
    EXPECT_EQ(control & (SE_DACL_PRESENT | SE_DACL_DEFAULTED), SE_DACL_PRESENT);
    // Allow Everyone (WD) key read, then allow Administrators (BA) all key rights; no flags.
    LPWSTR text = nullptr;
    ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorW(
        descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr));
    EXPECT_EQ(std::wstring(text), L"D:(A;;KR;;;WD)(A;;KA;;;BA)");
    LocalFree(text);

    // The entries the list was made from also name the kind of trustee, which the list drops.
    BYTE everyone[SECURITY_MAX_SID_SIZE], administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(everyone);
    ASSERT_TRUE(CreateWellKnownSid(WinWorldSid, nullptr, everyone, &size));
    size = sizeof(administrators);
    ASSERT_TRUE(CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size));
    const auto entries = KeyAccessEntries(everyone, administrators);
    const TRUSTEE_TYPE types[] = {TRUSTEE_IS_WELL_KNOWN_GROUP, TRUSTEE_IS_GROUP};
    for (size_t index = 0; index < entries.size(); ++index) {
        EXPECT_EQ(entries[index].grfAccessMode, SET_ACCESS);
        EXPECT_EQ(entries[index].Trustee.TrusteeForm, TRUSTEE_IS_SID);
        EXPECT_EQ(entries[index].Trustee.TrusteeType, types[index]) << index;
    }
    security.releases.RunAll();
}

TEST(ReleaseList, RunsEachActionOnceInOrderOfAddition) {
    std::vector<int> ran;
    {
        ReleaseList list;
        for (int action = 1; action <= 3; ++action)
            list.Add([&ran, action] { ran.push_back(action); });
        list.RunAll();
        list.RunAll();
        list.Add([&ran] { ran.push_back(4); });
    }  // destroyed without RunAll: the last action never runs
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
}

}  // namespace
