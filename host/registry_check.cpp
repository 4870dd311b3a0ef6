#include "host/registry_check.h"

#include "base/status.h"
#include "host/settings.h"
#include "platform/win32.h"
#ifndef _WIN32
#include "platform/registry_location.h"
#endif

namespace {

std::string RegistryPlace(const std::string& keyPath) {
#ifdef _WIN32
    return "the registry key HKEY_CURRENT_USER\\" + keyPath;
#else
    (void)keyPath;
    return "the registry database " + platform::registry::DatabasePath();
#endif
}

const char* Reason(LSTATUS status) {
    switch (status) {
        case ERROR_BADDB: return "it is damaged or not a registry database";
        case ERROR_ACCESS_DENIED: return "access is denied";
        case ERROR_CANTOPEN: return "it cannot be opened";
        case ERROR_PATH_NOT_FOUND: return "its folder cannot be made";
        case ERROR_LOCK_VIOLATION: return "another program keeps it locked";
        case ERROR_DISK_FULL: return "the disk is full";
        case ERROR_REGISTRY_IO_FAILED: return "reading or writing it failed";
        default: return "it cannot be used";
    }
}

}  // namespace

std::string CommandFailure(const char* command, uint16_t status) {
    std::string text = std::string(command) + " failed with " + DescribeStatus(status);
    if (status == StatusStateUnavailable) {
        text += ": " + RegistryPlace(std::string(kStateKeyPath) + "\\" + kPluginSubkey) +
                " cannot be used (damaged, locked by another program, or unwritable)";
    }
    return text;
}

std::string RegistryFailure(const std::string& keyPath, long status) {
    return "cannot use " + RegistryPlace(keyPath) + ": " + Reason(static_cast<LSTATUS>(status)) + " (registry error " +
           std::to_string(status) + ")";
}

bool CheckRegistry(std::string& error) {
    const std::string path = std::string(kStateKeyPath) + "\\" + kPluginSubkey;
    HKEY key = nullptr;
    const LSTATUS status = RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key);
    if (status == ERROR_SUCCESS) {
        RegCloseKey(key);
        return true;
    }
    if (status == ERROR_FILE_NOT_FOUND) {
        return true;  // no job has run yet
    }
    error = RegistryFailure(path, status);
    return false;
}
