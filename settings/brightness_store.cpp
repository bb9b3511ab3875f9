#include "settings/brightness_store.h"

#include "settings/key_security.h"

namespace {

// Closes the key it holds when it goes out of scope.
class UniqueHkey {
  public:
    UniqueHkey() = default;
    ~UniqueHkey() {
        if (key_) RegCloseKey(key_);
    }
    UniqueHkey(const UniqueHkey&) = delete;
    UniqueHkey& operator=(const UniqueHkey&) = delete;

    HKEY get() const { return key_; }
    HKEY* put() { return &key_; }

  private:
    HKEY key_ = nullptr;
};

struct DwordQuery {
    LSTATUS status;
    DWORD type;
    DWORD data;
};

// A value longer than 4 bytes reports ERROR_MORE_DATA; a failure may leave the type at REG_NONE.
DwordQuery QueryBrightness(HKEY key) {
    DwordQuery query{ERROR_SUCCESS, REG_NONE, 0};
    DWORD size = sizeof(query.data);
    query.status = RegQueryValueExW(key, kBrightnessValueName, nullptr, &query.type,
                                    reinterpret_cast<BYTE*>(&query.data), &size);
    return query;
}

LSTATUS SetBrightness(HKEY key, DWORD value) {
    return RegSetValueExW(key, kBrightnessValueName, 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

LSTATUS OpenSettingsKey(REGSAM access, UniqueHkey& key) {
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsSubKey, 0, access | KEY_WOW64_64KEY,
                         key.put());
}

}  // namespace

bool EnsureSettingsKey(HKEY root) {
    SecuredKeyAttributes security = BuildKeySecurity();
    // The attributes only take effect when the key is created; an existing key keeps its own.
    UniqueHkey key;
    LSTATUS status = RegCreateKeyExW(root, kSettingsSubKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_READ | KEY_SET_VALUE | KEY_WOW64_64KEY,
                                     security.attributes, key.put(), nullptr);
    if (status == ERROR_SUCCESS) {
        const DwordQuery query = QueryBrightness(key.get());
        status = query.status;
        // A present REG_DWORD is kept whatever it holds; anything else becomes the default.
        if (query.status == ERROR_FILE_NOT_FOUND || query.type != REG_DWORD) {
            status = SetBrightness(key.get(), kDefaultBrightness);
        }
    }
    security.releases.RunAll();
    return status == ERROR_SUCCESS;
}

bool ReadStoredBrightness(std::uint8_t& value) {
    if (!EnsureSettingsKey(HKEY_LOCAL_MACHINE)) return false;
    UniqueHkey key;
    if (OpenSettingsKey(KEY_READ, key) != ERROR_SUCCESS) return false;
    const DwordQuery query = QueryBrightness(key.get());
    if (query.status != ERROR_SUCCESS || query.type != REG_DWORD) return false;
    value = static_cast<std::uint8_t>(query.data & 0xFF);
    return true;
}

bool WriteStoredBrightness(std::uint8_t value) {
    if (!EnsureSettingsKey(HKEY_LOCAL_MACHINE)) return false;
    UniqueHkey key;
    if (OpenSettingsKey(KEY_SET_VALUE, key) != ERROR_SUCCESS) return false;
    return SetBrightness(key.get(), value) == ERROR_SUCCESS;
}
