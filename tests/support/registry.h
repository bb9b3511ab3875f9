#pragma once

#include <windows.h>

#include <optional>
#include <ostream>
#include <vector>

// Registry values exactly as stored, type and bytes, in HKLM's 64-bit view, where the program,
// administrators and scripts look for them.
struct RawValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    bool operator==(const RawValue&) const = default;
};

// For failure messages: the type, then the bytes in hex.
void PrintTo(const RawValue& value, std::ostream* out);

RawValue Dword(DWORD value);
std::optional<RawValue> ReadRawValue(const wchar_t* key, const wchar_t* name);
bool WriteRawValue(const wchar_t* key, const wchar_t* name, const RawValue& value);

// The remembered brightness, read and written around the store under test.
bool DeleteSettingsKey();
bool PutRawBrightness(const RawValue& value);
std::optional<RawValue> RawBrightness();
// The settings key survives a restart: it is not volatile.
bool SettingsKeyIsPersistent();
