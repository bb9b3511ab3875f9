#include "tests/support/registry.h"

#include <string>

namespace {

constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Orvane\\CalvexLighting";
constexpr wchar_t kValueName[] = L"Brightness";

}  // namespace

RawValue Dword(DWORD value) {
    return {REG_DWORD,
            {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
             static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)}};
}

// Both views, so that a value written to the wrong one cannot leak into the next test.
bool DeleteSettingsKey() {
    bool deleted = true;
    for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        const LSTATUS status = RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, view, 0);
        deleted &= status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
    }
    return deleted;
}

bool PutRawBrightness(const RawValue& value) {
    return RegSetKeyValueW(HKEY_LOCAL_MACHINE, kSettingsKey, kValueName, value.type,
                           value.data.data(),
                           static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS;
}

std::optional<RawValue> RawBrightness() {
    RawValue value;
    value.data.resize(64);
    DWORD size = static_cast<DWORD>(value.data.size());
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kSettingsKey, kValueName,
                     RRF_RT_ANY | RRF_NOEXPAND | RRF_SUBKEY_WOW6464KEY, &value.type,
                     value.data.data(), &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.data.resize(size);
    return value;
}

// A volatile key is gone after a restart, and the system refuses it a persistent sub-key.
bool SettingsKeyIsPersistent() {
    const std::wstring probe = std::wstring(kSettingsKey) + L"\\persistence-probe";
    HKEY key = nullptr;
    const LSTATUS status =
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, probe.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE | KEY_WOW64_64KEY, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, probe.c_str(), KEY_WOW64_64KEY, 0);
    return true;
}
