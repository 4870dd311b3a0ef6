#include "state/state_store.h"

#include <cstring>

#include "platform/call_log.h"

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

StateStore::StateStore(const StateStore& other) : rootKey(other.rootKey) {
    memcpy(keyPath, other.keyPath, sizeof(keyPath));
    memcpy(subkeyName, other.subkeyName, sizeof(subkeyName));
}

void StateStore::SetLocation(const char (&hostKeyPath)[256], HKEY hostRoot, const char* subkey) {
    (void)Commit();
    memcpy(keyPath, hostKeyPath, sizeof(keyPath));
    rootKey = hostRoot;
    memset(subkeyName, 0, sizeof(subkeyName));
    strncpy(subkeyName, subkey, sizeof(subkeyName) - 1);
}

bool StateStore::Commit() const {
    if (key_ == nullptr) return true;
    platform::testing::LogCall("RegCloseKey");
    LSTATUS result = RegCloseKey(key_);
    key_ = nullptr;
    return result == ERROR_SUCCESS;
}

bool StateStore::Usable() const {
    char composed[kKeyPathRoom];
    if (key_ != nullptr || !ComposeKeyPath(*this, composed)) return true;  // a bad path is refused as a bad record
    platform::testing::LogCall("RegOpenKeyEx");
    LSTATUS result = RegOpenKeyExA(rootKey, composed, 0, KEY_ALL_ACCESS, &key_);
    if (result != ERROR_SUCCESS) key_ = nullptr;
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND || result == ERROR_INVALID_HANDLE;
}

bool StateStore::OpenKey() const {
    if (key_ != nullptr) return true;
    char composed[kKeyPathRoom];
    if (!ComposeKeyPath(*this, composed)) return false;
    platform::testing::LogCall("RegOpenKeyEx");
    if (RegOpenKeyExA(rootKey, composed, 0, KEY_ALL_ACCESS, &key_) == ERROR_SUCCESS) return true;
    key_ = nullptr;
    return false;
}

bool StateStore::OpenOrCreateKey() const {
    if (OpenKey()) return true;
    char composed[kKeyPathRoom];
    if (!ComposeKeyPath(*this, composed)) return false;
    char emptyClass[1] = "";
    DWORD disposition = 0;
    platform::testing::LogCall("RegCreateKeyEx");
    if (RegCreateKeyExA(rootKey, composed, 0, emptyClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key_,
                        &disposition) == ERROR_SUCCESS)
        return true;
    key_ = nullptr;
    return false;
}

bool StateStore::ReadDword(const char* name, uint32_t* value) const {
    if (!OpenKey()) return false;
    BYTE data[4];
    DWORD size = sizeof(data);
    DWORD type = 0;
    platform::testing::LogCall("RegQueryValueEx", name);
    LSTATUS result = RegQueryValueExA(key_, name, nullptr, &type, data, &size);
    // Values shorter than 4 bytes count as absent.
    if (result != ERROR_SUCCESS || size != sizeof(data)) return false;
    memcpy(value, data, sizeof(data));
    return true;
}

bool StateStore::PutDword(const char* name, uint32_t value) const {
    if (!OpenOrCreateKey()) return false;
    BYTE data[4];
    memcpy(data, &value, sizeof(data));
    platform::testing::LogCall("RegSetValueEx", name);
    return RegSetValueExA(key_, name, 0, REG_DWORD, data, sizeof(data)) == ERROR_SUCCESS;
}

bool StateStore::ReadNumber(const char* name, uint64_t* value) const {
    if (!OpenKey()) return false;
    BYTE data[8];
    DWORD size = sizeof(data);
    DWORD type = 0;
    platform::testing::LogCall("RegQueryValueEx", name);
    LSTATUS result = RegQueryValueExA(key_, name, nullptr, &type, data, &size);
    if (result != ERROR_SUCCESS) return false;
    if (size == 4) {
        uint32_t narrow = 0;
        memcpy(&narrow, data, 4);
        *value = narrow;
        return true;
    }
    if (size != sizeof(data) || type != REG_QWORD) return false;
    memcpy(value, data, sizeof(data));
    return true;
}

bool StateStore::PutNumber(const char* name, uint64_t value) const {
    if (value <= UINT32_MAX) return PutDword(name, static_cast<uint32_t>(value));
    if (!OpenOrCreateKey()) return false;
    BYTE data[8];
    memcpy(data, &value, sizeof(data));
    platform::testing::LogCall("RegSetValueEx", name);
    return RegSetValueExA(key_, name, 0, REG_QWORD, data, sizeof(data)) == ERROR_SUCCESS;
}

bool StateStore::ReadString(const char* name, char (&value)[260]) const {
    if (!OpenKey()) return false;
    // Read into scratch so that a failed or unterminated read leaves the
    // caller's buffer as it was.
    char scratch[260];
    DWORD size = sizeof(scratch);
    DWORD type = 0;
    platform::testing::LogCall("RegQueryValueEx", name);
    LSTATUS result = RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(scratch), &size);
    if (result != ERROR_SUCCESS) return false;
    if (size == sizeof(scratch) && scratch[size - 1] != '\0') return false;
    scratch[size < sizeof(scratch) ? size : sizeof(scratch) - 1] = '\0';
    memcpy(value, scratch, sizeof(scratch));
    return true;
}

bool StateStore::PutString(const char* name, const char* value) const {
    if (!OpenOrCreateKey()) return false;
    DWORD size = static_cast<DWORD>(strlen(value) + 1);
    platform::testing::LogCall("RegSetValueEx", name);
    return RegSetValueExA(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), size) == ERROR_SUCCESS;
}

bool StateStore::RemoveValue(const char* name) const {
    char composed[kKeyPathRoom];
    if (key_ == nullptr) {
        if (!ComposeKeyPath(*this, composed)) return false;
        platform::testing::LogCall("RegOpenKeyEx");
        LSTATUS opened = RegOpenKeyExA(rootKey, composed, 0, KEY_ALL_ACCESS, &key_);
        if (opened != ERROR_SUCCESS) key_ = nullptr;
        if (opened == ERROR_FILE_NOT_FOUND) return true;
        if (opened != ERROR_SUCCESS) return false;
    }
    platform::testing::LogCall("RegDeleteValue", name);
    LSTATUS result = RegDeleteValueA(key_, name);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

bool StateStore::WriteDword(const char* name, uint32_t value) const {
    const bool put = PutDword(name, value);
    return Commit() && put;
}

bool StateStore::WriteString(const char* name, const char* value) const {
    const bool put = PutString(name, value);
    return Commit() && put;
}

bool StateStore::DeleteValue(const char* name) const {
    const bool removed = RemoveValue(name);
    return Commit() && removed;
}

bool StateStore::ReadWindowPosition(int32_t* x, int32_t* y) const {
    *x = 10;
    *y = 10;
    if (!OpenKey()) return false;
    ReadInt(value_names::kPositionX, x);
    ReadInt(value_names::kPositionY, y);
    return true;
}

bool StateStore::WriteWindowPosition(HWND window) const {
    if (!OpenOrCreateKey()) return false;
    RECT rect = {};
    GetWindowRect(window, &rect);
    const bool put = PutDword(value_names::kPositionX, static_cast<uint32_t>(rect.left)) &&
                     PutDword(value_names::kPositionY, static_cast<uint32_t>(rect.top));
    return Commit() && put;
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
