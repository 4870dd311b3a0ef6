// The registry services: RegOpenKeyExA, RegCreateKeyExA, RegQueryValueExA,
// RegSetValueExA, RegDeleteValueA, RegDeleteKeyA, RegCloseKey, over the rows of
// registry_rows.h.
//
// An opened key is a handle to its path and the access it was opened with;
// it can itself serve as the root of further opens. Handles are kept in a
// live list so a stale or foreign handle gives ERROR_INVALID_HANDLE.
//
// The values set and deleted through keys are committed when a key they
// were written through is closed: a caller that writes several values and
// closes the key makes one transaction of them, and a process killed before
// the close loses those values only, never one committed before. Closing
// reports the commit's failure. Reads through a key share one snapshot
// until it is closed or something is written.
#include <cstring>
#include <utility>

#include "platform/fault_hooks.h"
#include "platform/live_list.h"
#include "platform/registry_database.h"
#include "platform/registry_rows.h"

namespace {

struct OpenKey : platform::LiveLinks<OpenKey> {
    OpenKey(std::string keyPath, REGSAM rights) : path(std::move(keyPath)), access(rights) {}
    std::string path;
    REGSAM access;
    bool used = false;  // values were read, set or deleted through it: its close ends their transaction
};

platform::LiveList<OpenKey> liveKeys;
static_assert(std::is_trivially_destructible_v<platform::LiveList<OpenKey>>);

bool IsLive(const OpenKey* key) { return liveKeys.Contains(key); }

// The key path a root handle stands for, and its access.
bool RootOf(HKEY root, std::string* path, REGSAM* access) {
    const char* predefined = platform::registry::RootName(root);
    if (predefined != nullptr) {
        *path = predefined;
        *access = KEY_ALL_ACCESS;
        return true;
    }
    auto* key = reinterpret_cast<OpenKey*>(root);
    if (root == nullptr || !IsLive(key)) return false;
    *path = key->path;
    *access = key->access;
    return true;
}

// `used`: its opening began the snapshot its reads share.
HKEY NewHandle(const std::string& path, REGSAM access, bool used) {
    auto* key = new OpenKey(path, access);
    key->used = used;
    liveKeys.Add(key);
    return reinterpret_cast<HKEY>(key);
}

// The key path for a value operation that needs `right`.
LSTATUS KeyFor(HKEY key, REGSAM right, std::string* path) {
    REGSAM access = 0;
    if (!RootOf(key, path, &access)) return ERROR_INVALID_HANDLE;
    if ((access & right) != right) return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

LSTATUS OpenOrCreate(HKEY root, LPCSTR subKey, REGSAM access, bool create, PHKEY result, bool* created) {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::string base;
    REGSAM rootAccess = 0;
    if (!RootOf(root, &base, &rootAccess)) return ERROR_INVALID_HANDLE;
    std::vector<std::string> components;
    LSTATUS status = platform::registry::SplitKeyPath(subKey, &components);
    if (status != ERROR_SUCCESS) return status;
    std::string path;
    status = create ? platform::registry::CreateKey(base, components, &path, created)
                    : platform::registry::OpenKey(base, components, true, &path);
    if (status != ERROR_SUCCESS) return status;
    *result = NewHandle(path, access, !create);
    return ERROR_SUCCESS;
}

// A call through a predefined root has no close of its own: what it writes
// is committed at once, after the call, and what it reads shares no snapshot.
bool MarkUsed(HKEY key) {
    if (platform::registry::RootName(key) != nullptr) return false;
    reinterpret_cast<OpenKey*>(key)->used = true;
    return true;
}

LSTATUS CommitIfRoot(HKEY key, LSTATUS status) {
    if (platform::registry::RootName(key) == nullptr) return status;
    LSTATUS committed = platform::registry::CommitValues();
    return status == ERROR_SUCCESS ? committed : status;
}

}  // namespace

LSTATUS RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result) {
    bool created = false;
    return OpenOrCreate(root, subKey, access, false, result, &created);
}

LSTATUS RegCreateKeyExA(HKEY root, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options, REGSAM access,
                        void* security, PHKEY result, LPDWORD disposition) {
    bool created = false;
    LSTATUS status = OpenOrCreate(root, subKey, access, true, result, &created);
    if (status == ERROR_SUCCESS && disposition != nullptr) {
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    return status;
}

LSTATUS RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, BYTE* data, LPDWORD dataSize) {
    if (data != nullptr && dataSize == nullptr) return ERROR_INVALID_PARAMETER;
    std::string path;
    LSTATUS status = KeyFor(key, KEY_QUERY_VALUE, &path);
    if (status != ERROR_SUCCESS) return status;
    platform::registry::Value value{};
    const bool snapshot = MarkUsed(key);
    status = platform::registry::ReadValue(path, name != nullptr ? name : "", snapshot, &value);
    if (status != ERROR_SUCCESS) return status;
    if (type != nullptr) *type = value.type;
    DWORD size = static_cast<DWORD>(value.data.size());
    if (data != nullptr && *dataSize < size) {
        // The caller's buffer is left as it was; it learns the size needed.
        *dataSize = size;
        return ERROR_MORE_DATA;
    }
    if (data != nullptr && size > 0) memcpy(data, value.data.data(), size);
    if (dataSize != nullptr) *dataSize = size;
    return ERROR_SUCCESS;
}

LSTATUS RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize) {
    if (data == nullptr && dataSize > 0) return ERROR_INVALID_PARAMETER;
    std::string path;
    LSTATUS status = KeyFor(key, KEY_SET_VALUE, &path);
    if (status != ERROR_SUCCESS) return status;
    if (platform::hooks::ShouldFail(platform::hooks::Service::RegistryWrite)) return ERROR_REGISTRY_IO_FAILED;
    MarkUsed(key);
    return CommitIfRoot(key, platform::registry::WriteValue(path, name != nullptr ? name : "", type, data, dataSize));
}

LSTATUS RegDeleteValueA(HKEY key, LPCSTR name) {
    std::string path;
    LSTATUS status = KeyFor(key, KEY_SET_VALUE, &path);
    if (status != ERROR_SUCCESS) return status;
    if (platform::hooks::ShouldFail(platform::hooks::Service::RegistryWrite)) return ERROR_REGISTRY_IO_FAILED;
    MarkUsed(key);
    return CommitIfRoot(key, platform::registry::DeleteValue(path, name != nullptr ? name : ""));
}

LSTATUS RegDeleteKeyA(HKEY root, LPCSTR subKey) {
    std::string path;
    LSTATUS status = KeyFor(root, KEY_SET_VALUE, &path);
    if (status != ERROR_SUCCESS) return status;
    std::vector<std::string> components;
    status = platform::registry::SplitKeyPath(subKey, &components);
    if (status != ERROR_SUCCESS) return status;
    if (components.empty()) return ERROR_INVALID_PARAMETER;
    std::string stored;
    status = platform::registry::OpenKey(path, components, false, &stored);
    if (status != ERROR_SUCCESS) return status;
    return platform::registry::DeleteKey(stored);
}

LSTATUS RegCloseKey(HKEY key) {
    if (platform::registry::RootName(key) != nullptr) return ERROR_SUCCESS;
    auto* openKey = reinterpret_cast<OpenKey*>(key);
    if (!liveKeys.Remove(openKey)) return ERROR_INVALID_HANDLE;
    const bool used = openKey->used;
    delete openKey;
    return used ? platform::registry::CommitValues() : ERROR_SUCCESS;
}
