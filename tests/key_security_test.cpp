// The key's security as built, read back from the descriptor itself (Wine does not apply it).
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "settings/key_security.h"

namespace {

struct ExpectedEntry {
    SID_IDENTIFIER_AUTHORITY authority;
    std::vector<DWORD> subAuthorities;
    ACCESS_MASK access;
};

bool SidIs(PSID sid, const ExpectedEntry& expected) {
    if (!IsValidSid(sid)) return false;
    const SID_IDENTIFIER_AUTHORITY* authority = GetSidIdentifierAuthority(sid);
    if (memcmp(authority, &expected.authority, sizeof(*authority)) != 0) return false;
    if (*GetSidSubAuthorityCount(sid) != expected.subAuthorities.size()) return false;
    for (DWORD index = 0; index < expected.subAuthorities.size(); ++index) {
        if (*GetSidSubAuthority(sid, index) != expected.subAuthorities[index]) return false;
    }
    return true;
}

TEST(KeySecurity, DescriptorAllowsEveryoneReadAndAdministratorsAll) {
    SecuredKeyAttributes security = BuildKeySecurity();
    ASSERT_NE(security.attributes, nullptr);
    EXPECT_EQ(security.attributes->nLength, sizeof(SECURITY_ATTRIBUTES));
    EXPECT_FALSE(security.attributes->bInheritHandle);

    PSECURITY_DESCRIPTOR descriptor = security.attributes->lpSecurityDescriptor;
    ASSERT_TRUE(IsValidSecurityDescriptor(descriptor));
    BOOL present = FALSE;
    BOOL defaulted = TRUE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
    EXPECT_TRUE(present);
    EXPECT_FALSE(defaulted);
    ASSERT_NE(dacl, nullptr);
    ASSERT_EQ(dacl->AceCount, 2);

    const ExpectedEntry expected[] = {
        {SECURITY_WORLD_SID_AUTHORITY, {SECURITY_WORLD_RID}, KEY_READ},
        {SECURITY_NT_AUTHORITY,
         {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS},
         KEY_ALL_ACCESS},
    };
    for (DWORD index = 0; index < 2; ++index) {
        void* entry = nullptr;
        ASSERT_TRUE(GetAce(dacl, index, &entry));
        const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
        EXPECT_EQ(allowed->Header.AceFlags, 0) << "no inheritance";
        EXPECT_EQ(allowed->Mask, expected[index].access);
        EXPECT_TRUE(SidIs(const_cast<DWORD*>(&allowed->SidStart), expected[index]))
            << "entry " << index;
    }
    // Two SIDs, the access list, the descriptor and the record itself.
    EXPECT_EQ(security.releases.Size(), 5u);
    security.releases.RunAll();
    EXPECT_EQ(security.releases.Size(), 0u);
}

TEST(ReleaseList, RunsInOrderOfAdditionExactlyOnce) {
    std::vector<int> ran;
    ReleaseList list;
    for (int action = 1; action <= 3; ++action) list.Add([&ran, action] { ran.push_back(action); });
    list.RunAll();
    list.RunAll();
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(list.Size(), 0u);
}

TEST(ReleaseList, DestroyedWithoutRunFreesActionsWithoutInvoking) {
    auto owned = std::make_shared<int>(0);
    std::weak_ptr<int> watch = owned;
    bool invoked = false;
    {
        ReleaseList list;
        list.Add([owned, &invoked] { invoked = true; });
        owned.reset();
        EXPECT_FALSE(watch.expired());
    }
    EXPECT_TRUE(watch.expired());
    EXPECT_FALSE(invoked);
}

}  // namespace
