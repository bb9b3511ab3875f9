#pragma once

#include <windows.h>

#include <optional>
#include <vector>

// The remembered brightness as the registry holds it, read and written around the store under
// test, always in the 64-bit view where administrators and scripts look for it.
struct RawValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    bool operator==(const RawValue&) const = default;
};

RawValue Dword(DWORD value);
bool DeleteSettingsKey();
bool PutRawBrightness(const RawValue& value);
std::optional<RawValue> RawBrightness();
// The settings key survives a restart: it is not volatile.
bool SettingsKeyIsPersistent();
