#pragma once

#include <windows.h>

#include <cstdint>

// The last brightness, kept as the REG_DWORD "Brightness" under HKLM in the 64-bit view.
// Every operation makes sure the key exists and the value holds a number (100 by default).
bool EnsureSettingsKey(HKEY root);
bool ReadStoredBrightness(std::uint8_t& value);
bool WriteStoredBrightness(std::uint8_t value);

inline constexpr wchar_t kSettingsSubKey[] = L"SOFTWARE\\Orvane\\CalvexLighting\\";
inline constexpr wchar_t kBrightnessValueName[] = L"Brightness";
inline constexpr DWORD kDefaultBrightness = 100;
