#include "tests/support/registry.h"

#include <iomanip>
#include <string>

namespace {

constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Orvane\\CalvexLighting";
constexpr wchar_t kValueName[] = L"Brightness";

}  // namespace

void PrintTo(const RawValue& value, std::ostream* out) {
    *out << "type " << value.type << ":" << std::hex << std::setfill('0');
    for (const BYTE byte : value.data) *out << " " << std::setw(2) << static_cast<int>(byte);
    *out << std::dec;
}

RawValue Dword(DWORD value) {
    return {REG_DWORD,
            {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
             static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)}};
}

// RegQueryValueExW, not RegGetValueW, which would add a missing terminating NUL to a string.
std::optional<RawValue> ReadRawValue(const wchar_t* key, const wchar_t* name) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &opened) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    RawValue value;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(opened, name, nullptr, &value.type, nullptr, &size);
    if (status == ERROR_SUCCESS) {
        value.data.resize(size);
        status = RegQueryValueExW(opened, name, nullptr, &value.type, value.data.data(), &size);
        value.data.resize(size);
    }
    RegCloseKey(opened);
    if (status != ERROR_SUCCESS) return std::nullopt;
    return value;
}

bool WriteRawValue(const wchar_t* key, const wchar_t* name, const RawValue& value) {
    HKEY opened = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY,
                        nullptr, &opened, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LSTATUS status = RegSetValueExW(opened, name, 0, value.type, value.data.data(),
                                          static_cast<DWORD>(value.data.size()));
    RegCloseKey(opened);
    return status == ERROR_SUCCESS;
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
    return WriteRawValue(kSettingsKey, kValueName, value);
}

std::optional<RawValue> RawBrightness() {
    return ReadRawValue(kSettingsKey, kValueName);
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
