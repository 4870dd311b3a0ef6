// Keys and values in the registry database (registry_rows.h).
#include "platform/registry_rows.h"

#include <cstring>

#include "platform/registry_database.h"

namespace platform::registry {

namespace {

constexpr size_t kMaxKeyPath = MAX_PATH - 1;
constexpr size_t kMaxKeyName = 255;

std::string Join(const std::string& base, const std::vector<std::string>& components) {
    std::string path = base;
    for (const std::string& name : components) path += "\\" + name;
    return path;
}

LSTATUS FindKey(const Session& session, const std::string& path, std::string* stored) {
    Statement find(session, Query::FindKey);
    find.Bind(1, path);
    bool row = false;
    LSTATUS status = find.Step(&row);
    if (status != ERROR_SUCCESS) return status;
    if (!row) return ERROR_FILE_NOT_FOUND;
    *stored = find.Text(0);
    return ERROR_SUCCESS;
}

// The key `name` below `parent` (stored paths), added when missing.
LSTATUS AddKey(const Session& session, const std::string& parent, const std::string& name, std::string* path,
               bool* added) {
    std::string wanted = parent + "\\" + name;
    Statement add(session, Query::AddKey);
    add.Bind(1, wanted);
    int changed = 0;
    LSTATUS status = add.Run(&changed);
    if (status != ERROR_SUCCESS) return status;
    *added = changed > 0;
    if (*added) {
        *path = wanted;
        return ERROR_SUCCESS;
    }
    return FindKey(session, wanted, path);  // there already, maybe spelt otherwise
}

}  // namespace

LSTATUS SplitKeyPath(const char* subKey, std::vector<std::string>* components) {
    components->clear();
    if (subKey == nullptr || *subKey == '\0') return ERROR_SUCCESS;
    if (strnlen(subKey, kMaxKeyPath + 1) > kMaxKeyPath) return ERROR_FILENAME_EXCED_RANGE;
    std::string path = subKey;
    size_t start = 0;
    for (;;) {
        size_t end = path.find('\\', start);
        std::string component = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (component.empty() || component.size() > kMaxKeyName) return ERROR_INVALID_PARAMETER;
        components->push_back(component);
        if (end == std::string::npos) return ERROR_SUCCESS;
        start = end + 1;
    }
}

LSTATUS OpenKey(const std::string& base, const std::vector<std::string>& components, bool snapshot, std::string* path) {
    Session session;
    bool opened = false;
    LSTATUS status = snapshot ? BeginReads(session, &opened) : session.Status();
    if (status != ERROR_SUCCESS) return status;
    status = FindKey(session, Join(base, components), path);
    if (status != ERROR_SUCCESS && opened) CommitWrites(session);
    return status;
}

LSTATUS CreateKey(const std::string& base, const std::vector<std::string>& components, std::string* path,
                  bool* created) {
    *created = false;
    Session session;
    LSTATUS status = FindKey(session, Join(base, components), path);
    if (status != ERROR_FILE_NOT_FOUND) return status;  // there already, or the database fails

    Transaction transaction(session);
    if (transaction.Status() != ERROR_SUCCESS) return transaction.Status();
    std::string current;
    status = FindKey(session, base, &current);
    if (status != ERROR_SUCCESS) return status == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DELETED : status;
    bool added = false;
    for (const std::string& name : components) {
        status = AddKey(session, current, name, &current, &added);
        if (status != ERROR_SUCCESS) return status;
    }
    status = transaction.Commit();
    if (status != ERROR_SUCCESS) return status;
    *path = current;
    *created = added;
    return ERROR_SUCCESS;
}

LSTATUS ReadValue(const std::string& key, const std::string& name, bool snapshot, Value* value) {
    Session session(Session::Use::OpenKey);
    if (snapshot) {
        LSTATUS status = BeginReads(session);
        if (status != ERROR_SUCCESS) return status;
    }
    Statement read(session, Query::ReadValue);
    read.Bind(1, key);
    read.Bind(2, name);
    bool row = false;
    LSTATUS status = read.Step(&row);
    if (status != ERROR_SUCCESS) return status;
    if (!row) return ERROR_FILE_NOT_FOUND;
    value->type = static_cast<DWORD>(read.Integer(0));
    value->data = read.Blob(1);
    return ERROR_SUCCESS;
}

LSTATUS WriteValue(const std::string& key, const std::string& name, DWORD type, const uint8_t* data, size_t size) {
    Session session(Session::Use::OpenKey);
    int changed = 0;
    LSTATUS status = RunWrite(session, [&] {
        Statement write(session, Query::WriteValue);
        write.Bind(1, key);
        write.Bind(2, name);
        write.Bind(3, int64_t{type});
        write.BindBlob(4, data, size);
        return write.Run(&changed);
    });
    if (status != ERROR_SUCCESS) return status;
    return changed > 0 ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

LSTATUS DeleteValue(const std::string& key, const std::string& name) {
    Session session(Session::Use::OpenKey);
    int changed = 0;
    LSTATUS status = RunWrite(session, [&] {
        Statement remove(session, Query::DeleteValue);
        remove.Bind(1, key);
        remove.Bind(2, name);
        return remove.Run(&changed);
    });
    if (status != ERROR_SUCCESS) return status;
    return changed > 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LSTATUS CommitValues() {
    Session session(Session::Use::AsIs);
    return CommitWrites(session);
}

LSTATUS DeleteKey(const std::string& path) {
    Session session;
    Transaction transaction(session);
    if (transaction.Status() != ERROR_SUCCESS) return transaction.Status();
    Statement below(session, Query::HasSubkey);
    below.Bind(1, path);
    bool row = false;
    LSTATUS status = below.Step(&row);
    if (status != ERROR_SUCCESS) return status;
    if (row) return ERROR_ACCESS_DENIED;
    Statement values(session, Query::DeleteKeyValues);
    values.Bind(1, path);
    status = values.Run();
    if (status != ERROR_SUCCESS) return status;
    Statement key(session, Query::DeleteKey);
    key.Bind(1, path);
    int changed = 0;
    status = key.Run(&changed);
    if (status != ERROR_SUCCESS) return status;
    if (changed == 0) return ERROR_FILE_NOT_FOUND;
    return transaction.Commit();
}

}  // namespace platform::registry
