// The registry services: RegOpenKeyExA, RegCreateKeyExA, RegQueryValueExA,
// RegSetValueExA, RegDeleteValueA, RegCloseKey, over the files of
// registry_store.h.
//
// An opened key is a handle to its directory and the access it was opened
// with; it can itself serve as the root of further opens. Handles are kept
// in a live list so a stale or foreign handle gives ERROR_INVALID_HANDLE.
#include <cstring>
#include <utility>

#include "platform/live_list.h"
#include "platform/registry_store.h"

using platform::registry::Value;

namespace {

struct OpenKey : platform::LiveLinks<OpenKey> {
    OpenKey(std::string path, REGSAM rights) : directory(std::move(path)), access(rights) {}
    std::string directory;
    REGSAM access;
};

platform::LiveList<OpenKey> liveKeys;
static_assert(std::is_trivially_destructible_v<platform::LiveList<OpenKey>>);

bool IsLive(const OpenKey* key) { return liveKeys.Contains(key); }

// The directory a root handle stands for, and its access.
bool RootOf(HKEY root, std::string* directory, REGSAM* access) {
    std::string predefined = platform::registry::RootDirectory(root);
    if (!predefined.empty()) {
        *directory = predefined;
        *access = KEY_ALL_ACCESS;
        return true;
    }
    auto* key = reinterpret_cast<OpenKey*>(root);
    if (root == nullptr || !IsLive(key)) return false;
    *directory = key->directory;
    *access = key->access;
    return true;
}

HKEY NewHandle(const std::string& directory, REGSAM access) {
    auto* key = new OpenKey(directory, access);
    liveKeys.Add(key);
    return reinterpret_cast<HKEY>(key);
}

// The key directory and access for a value operation that needs `right`.
LSTATUS KeyFor(HKEY key, REGSAM right, std::string* directory) {
    REGSAM access = 0;
    if (!RootOf(key, directory, &access)) return ERROR_INVALID_HANDLE;
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
    std::string directory;
    status = platform::registry::ResolveKey(base, components, create, &directory, created);
    if (status != ERROR_SUCCESS) return status;
    *result = NewHandle(directory, access);
    return ERROR_SUCCESS;
}

}  // namespace

LSTATUS RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result) {
    bool created = false;
    return OpenOrCreate(root, subKey, access, false, result, &created);
}

LSTATUS RegCreateKeyExA(HKEY root, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options,
                        REGSAM access, void* security, PHKEY result, LPDWORD disposition) {
    bool created = false;
    LSTATUS status = OpenOrCreate(root, subKey, access, true, result, &created);
    if (status == ERROR_SUCCESS && disposition != nullptr) {
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    return status;
}

LSTATUS RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, BYTE* data,
                         LPDWORD dataSize) {
    if (data != nullptr && dataSize == nullptr) return ERROR_INVALID_PARAMETER;
    std::string directory;
    LSTATUS status = KeyFor(key, KEY_QUERY_VALUE, &directory);
    if (status != ERROR_SUCCESS) return status;
    platform::registry::ParsedValues values;
    status = platform::registry::ReadValues(directory, &values);
    if (status != ERROR_SUCCESS) return status;
    auto found = platform::registry::FindValue(values.values, name != nullptr ? name : "");
    if (found == values.values.end()) return ERROR_FILE_NOT_FOUND;
    if (type != nullptr) *type = found->type;
    DWORD size = static_cast<DWORD>(found->data.size());
    if (data != nullptr && *dataSize < size) {
        // The caller's buffer is left as it was; it learns the size needed.
        *dataSize = size;
        return ERROR_MORE_DATA;
    }
    if (data != nullptr && size > 0) memcpy(data, found->data.data(), size);
    if (dataSize != nullptr) *dataSize = size;
    return ERROR_SUCCESS;
}

LSTATUS RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                       DWORD dataSize) {
    if (data == nullptr && dataSize > 0) return ERROR_INVALID_PARAMETER;
    std::string directory;
    LSTATUS status = KeyFor(key, KEY_SET_VALUE, &directory);
    if (status != ERROR_SUCCESS) return status;
    Value value{name != nullptr ? name : "", type,
                data != nullptr ? std::vector<uint8_t>(data, data + dataSize) : std::vector<uint8_t>()};
    return platform::registry::ChangeValues(directory, [&value](std::vector<Value>& values) -> LSTATUS {
        auto existing = platform::registry::FindValue(values, value.name);
        if (existing != values.end()) {
            existing->type = value.type;  // the name keeps its first spelling
            existing->data = value.data;
        } else {
            values.push_back(value);
        }
        return ERROR_SUCCESS;
    });
}

LSTATUS RegDeleteValueA(HKEY key, LPCSTR name) {
    std::string directory;
    LSTATUS status = KeyFor(key, KEY_SET_VALUE, &directory);
    if (status != ERROR_SUCCESS) return status;
    std::string valueName = name != nullptr ? name : "";
    return platform::registry::ChangeValues(directory, [&valueName](std::vector<Value>& values) -> LSTATUS {
        auto existing = platform::registry::FindValue(values, valueName);
        if (existing == values.end()) return ERROR_FILE_NOT_FOUND;
        values.erase(existing);
        return ERROR_SUCCESS;
    });
}

LSTATUS RegCloseKey(HKEY key) {
    if (!platform::registry::RootDirectory(key).empty()) return ERROR_SUCCESS;
    auto* openKey = reinterpret_cast<OpenKey*>(key);
    if (!liveKeys.Remove(openKey)) return ERROR_INVALID_HANDLE;
    delete openKey;
    return ERROR_SUCCESS;
}
