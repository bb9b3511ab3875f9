// The security the settings key is created with, and the list that frees it. The values the
// store keeps are checked through the command.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include "settings/key_security.h"

namespace {

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
