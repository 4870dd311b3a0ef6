// The registry's files and directories (see registry_store.h).
#include "platform/registry_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/last_error.h"
#include "platform/path_checks.h"

namespace platform::registry {

namespace {

constexpr char kValuesFile[] = "values.reg";
constexpr char kNewValuesFile[] = "values.reg.new";
constexpr char kLockFile[] = ".lock";
constexpr size_t kMaxKeyPath = MAX_PATH - 1;
constexpr size_t kMaxKeyName = 255;

// Names on disk: '%', '/', '.' and control bytes as %XX, so no key name can
// be mistaken for a path step or for the registry's own files.
std::string EncodeName(const std::string& name) {
    std::string encoded;
    for (unsigned char c : name) {
        if (c == '%' || c == '/' || c == '.' || c < 0x20 || c == 0x7F) {
            char escaped[4];
            snprintf(escaped, sizeof(escaped), "%%%02X", c);
            encoded += escaped;
        } else {
            encoded += static_cast<char>(c);
        }
    }
    return encoded;
}

std::string DecodeName(const std::string& encoded) {
    std::string name;
    for (size_t i = 0; i < encoded.size(); ++i) {
        if (encoded[i] == '%' && i + 2 < encoded.size() && isxdigit(static_cast<unsigned char>(encoded[i + 1])) &&
            isxdigit(static_cast<unsigned char>(encoded[i + 2]))) {
            name += static_cast<char>(strtol(encoded.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else {
            name += encoded[i];
        }
    }
    return name;
}

bool IsDirectory(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The subkey of `parent` whose name matches `name` without regard to case.
bool FindSubkey(const std::string& parent, const std::string& name, std::string* found) {
    DIR* listing = opendir(parent.c_str());
    if (listing == nullptr) return false;
    bool matched = false;
    while (dirent* entry = readdir(listing)) {
        std::string entryName = entry->d_name;
        if (entryName == "." || entryName == ".." || entryName.find('.') != std::string::npos) continue;
        if (SameName(DecodeName(entryName), name) && IsDirectory(parent + "/" + entryName)) {
            *found = parent + "/" + entryName;
            matched = true;
            break;
        }
    }
    closedir(listing);
    return matched;
}

bool MakeDirectories(const std::string& path) {
    if (path.empty() || IsDirectory(path)) return true;
    std::string parent = DirectoryOf(path);
    if (parent != path && !MakeDirectories(parent)) return false;
    return mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

// An exclusive hold on the registry's lock file for one change.
class RegistryLock {
public:
    RegistryLock() {
        std::string directory = RegistryDirectory();
        if (!MakeDirectories(directory)) return;
        fd_ = open((directory + "/" + kLockFile).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ >= 0 && flock(fd_, LOCK_EX) != 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~RegistryLock() {
        if (fd_ >= 0) close(fd_);  // releases the lock
    }
    RegistryLock(const RegistryLock&) = delete;
    RegistryLock& operator=(const RegistryLock&) = delete;
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

bool ReadWholeFile(const std::string& path, std::string* text) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buffer[8192];
    ssize_t got;
    while ((got = read(fd, buffer, sizeof(buffer))) != 0) {
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            close(fd);
            return false;
        }
        text->append(buffer, static_cast<size_t>(got));
    }
    close(fd);
    return true;
}

LSTATUS WriteDurably(const std::string& directory, const std::string& text) {
    std::string newPath = directory + "/" + kNewValuesFile;
    int fd = open(newPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return static_cast<LSTATUS>(WindowsErrorFromErrno(errno));
    size_t done = 0;
    while (done < text.size()) {
        ssize_t put = write(fd, text.data() + done, text.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            int error = put < 0 ? errno : ENOSPC;
            close(fd);
            unlink(newPath.c_str());
            return static_cast<LSTATUS>(WindowsErrorFromErrno(error));
        }
        done += static_cast<size_t>(put);
    }
    if (fsync(fd) != 0 || close(fd) != 0) {
        int error = errno;
        unlink(newPath.c_str());
        return static_cast<LSTATUS>(WindowsErrorFromErrno(error));
    }
    if (rename(newPath.c_str(), (directory + "/" + kValuesFile).c_str()) != 0) {
        int error = errno;
        unlink(newPath.c_str());
        return static_cast<LSTATUS>(WindowsErrorFromErrno(error));
    }
    SyncDirectory(directory);
    return ERROR_SUCCESS;
}

}  // namespace

std::string RegistryDirectory() {
    const char* configured = getenv("ZEDUZ_REGISTRY_DIR");
    if (configured != nullptr && *configured != '\0') return configured;
    const char* config = getenv("XDG_CONFIG_HOME");
    if (config != nullptr && *config != '\0') return std::string(config) + "/zeduz/registry";
    const char* home = getenv("HOME");
    return std::string(home != nullptr && *home != '\0' ? home : "/tmp") + "/.config/zeduz/registry";
}

std::string RootDirectory(HKEY root) {
    const char* name = root == HKEY_CLASSES_ROOT    ? "HKEY_CLASSES_ROOT"
                       : root == HKEY_CURRENT_USER  ? "HKEY_CURRENT_USER"
                       : root == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE"
                       : root == HKEY_USERS         ? "HKEY_USERS"
                                                    : nullptr;
    return name == nullptr ? std::string() : RegistryDirectory() + "/" + name;
}

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

LSTATUS ResolveKey(const std::string& base, const std::vector<std::string>& components, bool create,
                   std::string* directory, bool* created) {
    *created = false;
    if (create) {
        RegistryLock lock;  // so two creators agree on one spelling of a name
        if (!lock.Held()) return ERROR_ACCESS_DENIED;
        if (!MakeDirectories(base)) return static_cast<LSTATUS>(WindowsErrorFromErrno(errno));
        std::string current = base;
        for (const std::string& name : components) {
            std::string next;
            if (!FindSubkey(current, name, &next)) {
                next = current + "/" + EncodeName(name);
                if (next.size() >= 4096 || mkdir(next.c_str(), 0700) != 0) {
                    return static_cast<LSTATUS>(next.size() >= 4096 ? ERROR_FILENAME_EXCED_RANGE
                                                                    : WindowsErrorFromErrno(errno));
                }
                SyncDirectory(current);
                *created = true;
            } else {
                *created = false;
            }
            current = next;
        }
        *directory = current;
        return ERROR_SUCCESS;
    }
    if (components.empty()) {
        *directory = base;  // a root whose tree holds nothing yet still opens
        return ERROR_SUCCESS;
    }
    std::string current = base;
    for (const std::string& name : components) {
        std::string next;
        if (!FindSubkey(current, name, &next)) return ERROR_FILE_NOT_FOUND;
        current = next;
    }
    *directory = current;
    return ERROR_SUCCESS;
}

LSTATUS ReadValues(const std::string& directory, ParsedValues* values) {
    std::string text;
    if (!ReadWholeFile(directory + "/" + kValuesFile, &text)) {
        if (errno != ENOENT) return static_cast<LSTATUS>(WindowsErrorFromErrno(errno));
        if (!IsDirectory(directory)) return ERROR_KEY_DELETED;
        *values = ParsedValues{};
        return ERROR_SUCCESS;
    }
    *values = ParseValues(text);
    return ERROR_SUCCESS;
}

LSTATUS ChangeValuesWith(const std::string& directory, LSTATUS (*change)(std::vector<Value>&, void*),
                         void* context) {
    RegistryLock lock;
    if (!lock.Held()) return ERROR_ACCESS_DENIED;
    if (!IsDirectory(directory)) return ERROR_KEY_DELETED;
    ParsedValues values;
    LSTATUS status = ReadValues(directory, &values);
    if (status != ERROR_SUCCESS) return status;
    // Never rewrite a file with lines we could not read: they would be lost.
    if (!values.clean) return ERROR_BADDB;
    status = change(values.values, context);
    if (status != ERROR_SUCCESS) return status;
    return WriteDurably(directory, SerializeValues(values.values));
}

}  // namespace platform::registry
