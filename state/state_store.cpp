#include "state/state_store.h"

#include <cstring>

namespace {

constexpr size_t kKeyPathRoom = 260;  // composed key path plus terminator

// keyPath + "\" + subkey, or false when it would not fit 259 characters.
// Such a key is treated as one that cannot be opened.
bool ComposeKeyPath(const StateStore& store, char (&composed)[kKeyPathRoom]) {
    size_t pathLength = strnlen(store.keyPath, sizeof(store.keyPath));
    size_t subkeyLength = strnlen(store.subkeyName, sizeof(store.subkeyName));
    if (pathLength == sizeof(store.keyPath) || subkeyLength == sizeof(store.subkeyName)) return false;
    if (pathLength + 1 + subkeyLength >= kKeyPathRoom) return false;
    memcpy(composed, store.keyPath, pathLength);
    composed[pathLength] = '\\';
    memcpy(composed + pathLength + 1, store.subkeyName, subkeyLength);
    composed[pathLength + 1 + subkeyLength] = '\0';
    return true;
}

}  // namespace

void StateStore::SetLocation(const char (&hostKeyPath)[256], HKEY hostRoot, const char* subkey) {
    memcpy(keyPath, hostKeyPath, sizeof(keyPath));
    rootKey = hostRoot;
    memset(subkeyName, 0, sizeof(subkeyName));
    strncpy(subkeyName, subkey, sizeof(subkeyName) - 1);
}

bool StateStore::OpenKey(HKEY* key) const {
    char composed[kKeyPathRoom];
    if (!ComposeKeyPath(*this, composed)) return false;
    return RegOpenKeyExA(rootKey, composed, 0, KEY_ALL_ACCESS, key) == ERROR_SUCCESS;
}

bool StateStore::Usable() const {
    char composed[kKeyPathRoom];
    if (!ComposeKeyPath(*this, composed)) return true;  // refused as a bad record before this
    HKEY key;
    LSTATUS result = RegOpenKeyExA(rootKey, composed, 0, KEY_QUERY_VALUE, &key);
    if (result == ERROR_SUCCESS) RegCloseKey(key);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND || result == ERROR_INVALID_HANDLE;
}

bool StateStore::OpenOrCreateKey(HKEY* key) const {
    char composed[kKeyPathRoom];
    if (!ComposeKeyPath(*this, composed)) return false;
    if (RegOpenKeyExA(rootKey, composed, 0, KEY_ALL_ACCESS, key) == ERROR_SUCCESS) return true;
    char emptyClass[1] = "";
    DWORD disposition = 0;
    return RegCreateKeyExA(rootKey, composed, 0, emptyClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key,
                           &disposition) == ERROR_SUCCESS;
}

bool StateStore::ReadDword(const char* name, uint32_t* value) const {
    HKEY key;
    if (!OpenKey(&key)) return false;
    BYTE data[4];
    DWORD size = sizeof(data);
    DWORD type = 0;
    LSTATUS result = RegQueryValueExA(key, name, nullptr, &type, data, &size);
    RegCloseKey(key);
    // Values shorter than 4 bytes count as absent.
    if (result != ERROR_SUCCESS || size != sizeof(data)) return false;
    memcpy(value, data, sizeof(data));
    return true;
}

bool StateStore::WriteDword(const char* name, uint32_t value) const {
    HKEY key;
    if (!OpenOrCreateKey(&key)) return false;
    BYTE data[4];
    memcpy(data, &value, sizeof(data));
    LSTATUS result = RegSetValueExA(key, name, 0, REG_DWORD, data, sizeof(data));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

bool StateStore::ReadString(const char* name, char (&value)[260]) const {
    HKEY key;
    if (!OpenKey(&key)) return false;
    // Read into scratch so that a failed or unterminated read leaves the
    // caller's buffer as it was.
    char scratch[260];
    DWORD size = sizeof(scratch);
    DWORD type = 0;
    LSTATUS result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(scratch), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) return false;
    if (size == sizeof(scratch) && scratch[size - 1] != '\0') return false;
    scratch[size < sizeof(scratch) ? size : sizeof(scratch) - 1] = '\0';
    memcpy(value, scratch, sizeof(scratch));
    return true;
}

bool StateStore::WriteString(const char* name, const char* value) const {
    HKEY key;
    if (!OpenOrCreateKey(&key)) return false;
    DWORD size = static_cast<DWORD>(strlen(value) + 1);
    LSTATUS result = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

bool StateStore::DeleteValue(const char* name) const {
    char composed[kKeyPathRoom];
    if (!ComposeKeyPath(*this, composed)) return false;
    HKEY key;
    LSTATUS result = RegOpenKeyExA(rootKey, composed, 0, KEY_ALL_ACCESS, &key);
    if (result == ERROR_FILE_NOT_FOUND) return true;
    if (result != ERROR_SUCCESS) return false;
    result = RegDeleteValueA(key, name);
    RegCloseKey(key);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

bool StateStore::ReadWindowPosition(int32_t* x, int32_t* y) const {
    *x = 10;
    *y = 10;
    HKEY key;
    if (!OpenKey(&key)) return false;
    RegCloseKey(key);
    ReadInt(value_names::kPositionX, x);
    ReadInt(value_names::kPositionY, y);
    return true;
}

bool StateStore::WriteWindowPosition(HWND window) const {
    HKEY key;
    if (!OpenOrCreateKey(&key)) return false;
    RegCloseKey(key);
    RECT rect = {};
    GetWindowRect(window, &rect);
    WriteInt(value_names::kPositionX, rect.left);
    WriteInt(value_names::kPositionY, rect.top);
    return true;
}

bool StateStore::ReadInt(const char* name, int32_t* value) const {
    uint32_t raw;
    if (!ReadDword(name, &raw)) return false;
    *value = static_cast<int32_t>(raw);
    return true;
}

bool StateStore::WriteInt(const char* name, int32_t value) const {
    return WriteDword(name, static_cast<uint32_t>(value));
}
