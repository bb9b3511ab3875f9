#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// Direct access to the settings value, bypassing the store under test.
struct RawValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

bool DeleteSettingsKey();
bool SetRawBrightness(DWORD type, const std::vector<BYTE>& data);
std::optional<RawValue> ReadRawBrightness();
std::vector<BYTE> DwordBytes(DWORD value);
