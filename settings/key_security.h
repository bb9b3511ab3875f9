#pragma once

#include <windows.h>
#include <aclapi.h>

#include <array>

#include "settings/release_list.h"

// The settings key's security: everyone may read, administrators may change.
struct SecuredKeyAttributes {
    // Complete attributes, or null when the build failed part way.
    SECURITY_ATTRIBUTES* attributes = nullptr;
    // Frees everything the build obtained, the SECURITY_ATTRIBUTES record included.
    ReleaseList releases;
};

SecuredKeyAttributes BuildKeySecurity();

// The key's access list as entries: Everyone may read, Administrators may do anything.
std::array<EXPLICIT_ACCESS_W, 2> KeyAccessEntries(PSID everyone, PSID administrators);
