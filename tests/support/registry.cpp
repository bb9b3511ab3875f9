#include "tests/support/registry.h"

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
