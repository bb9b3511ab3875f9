#include "tests/support/settings_registry.h"

#include "settings/brightness_store.h"

bool DeleteSettingsKey() {
    const LSTATUS status = RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvane\\CalvexLighting");
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

bool SetRawBrightness(DWORD type, const std::vector<BYTE>& data) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSettingsSubKey, 0, nullptr, 0,
                        KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LSTATUS status = RegSetValueExW(key, kBrightnessValueName, 0, type, data.data(),
                                          static_cast<DWORD>(data.size()));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool SetDwordBrightness(DWORD value) {
    return SetRawBrightness(REG_DWORD, DwordBytes(value));
}

std::optional<RawValue> ReadRawBrightness() {
    RawValue value;
    value.data.resize(64);
    DWORD size = static_cast<DWORD>(value.data.size());
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kSettingsSubKey, kBrightnessValueName,
                     RRF_RT_ANY | RRF_NOEXPAND, &value.type, value.data.data(),
                     &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.data.resize(size);
    return value;
}

std::vector<BYTE> DwordBytes(DWORD value) {
    return {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
            static_cast<BYTE>(value >> 24)};
}
