#include "settings/key_security.h"

namespace {

// Everything the build may obtain, in the order it obtains it.
struct KeySecurityParts {
    SECURITY_ATTRIBUTES* record = nullptr;
    PSID everyone = nullptr;
    PSID administrators = nullptr;
    PACL accessList = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
};

// Steps stop at the first failure; whatever was obtained is left in `parts` for release.
bool Build(KeySecurityParts& parts) {
    SID_IDENTIFIER_AUTHORITY worldAuthority = SECURITY_WORLD_SID_AUTHORITY;
    if (!AllocateAndInitializeSid(&worldAuthority, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0,
                                  &parts.everyone)) {
        parts.everyone = nullptr;
        return false;
    }

    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                  &parts.administrators)) {
        parts.administrators = nullptr;
        return false;
    }
    auto entries = KeyAccessEntries(parts.everyone, parts.administrators);
    if (SetEntriesInAclW(static_cast<ULONG>(entries.size()), entries.data(), nullptr,
                         &parts.accessList) != ERROR_SUCCESS) {
        parts.accessList = nullptr;
        return false;
    }
    parts.descriptor = LocalAlloc(LPTR, SECURITY_DESCRIPTOR_MIN_LENGTH);
    if (parts.descriptor == nullptr) return false;
    if (!InitializeSecurityDescriptor(parts.descriptor, SECURITY_DESCRIPTOR_REVISION)) return false;
    if (!SetSecurityDescriptorDacl(parts.descriptor, TRUE, parts.accessList, FALSE)) return false;

    parts.record->nLength = sizeof(SECURITY_ATTRIBUTES);
    parts.record->lpSecurityDescriptor = parts.descriptor;
    parts.record->bInheritHandle = FALSE;
    return true;
}

}  // namespace

std::array<EXPLICIT_ACCESS_W, 2> KeyAccessEntries(PSID everyone, PSID administrators) {
    const auto entry = [](PSID trustee, DWORD permissions, TRUSTEE_TYPE trusteeType) {
        EXPLICIT_ACCESS_W access{};
        access.grfAccessPermissions = permissions;
        access.grfAccessMode = SET_ACCESS;
        access.grfInheritance = NO_INHERITANCE;
        access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        access.Trustee.TrusteeType = trusteeType;
        access.Trustee.ptstrName = static_cast<LPWSTR>(trustee);
        return access;
    };
    return {entry(everyone, KEY_READ, TRUSTEE_IS_WELL_KNOWN_GROUP),
            entry(administrators, KEY_ALL_ACCESS, TRUSTEE_IS_GROUP)};
}

SecuredKeyAttributes BuildKeySecurity() {
    KeySecurityParts parts;
    parts.record = new SECURITY_ATTRIBUTES{};
    const bool built = Build(parts);

    SecuredKeyAttributes result;
    if (parts.everyone) result.releases.Add([sid = parts.everyone] { FreeSid(sid); });
    if (parts.administrators) result.releases.Add([sid = parts.administrators] { FreeSid(sid); });
    if (parts.accessList) result.releases.Add([acl = parts.accessList] { LocalFree(acl); });
    if (parts.descriptor) result.releases.Add([sd = parts.descriptor] { LocalFree(sd); });
    result.releases.Add([record = parts.record] { delete record; });
    if (built) result.attributes = parts.record;
    return result;
}
