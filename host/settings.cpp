#include "host/settings.h"

#include "host/registry_check.h"
#include "platform/win32.h"
#include "state/state_store.h"

namespace {

using value_names::kBigTiff;
using value_names::kColorCompression;
using value_names::kCompression;
using value_names::kFileType;
using value_names::kJpegQuality;

std::string PluginKeyBelow(const std::string& keyPath) { return keyPath + "\\" + kPluginSubkey; }

bool SetDword(HKEY key, const char* name, uint32_t value, std::string& error) {
    const DWORD data = value;
    const LSTATUS result = RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
    if (result != ERROR_SUCCESS) {
        error = std::string("cannot store the setting \"") + name + "\": " + RegistryFailure(kStateKeyPath, result);
        return false;
    }
    return true;
}

std::optional<uint32_t> GetDword(HKEY key, const char* name) {
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof data;
    const LSTATUS result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    if (result != ERROR_SUCCESS || type != REG_DWORD || size != sizeof data) {
        return std::nullopt;
    }
    return data;
}

bool CreateKey(const std::string& path, HKEY& key, std::string& error) {
    DWORD disposition = 0;
    char noClass[] = "";
    const LSTATUS opened = RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, noClass, REG_OPTION_NON_VOLATILE,
                                           KEY_ALL_ACCESS, nullptr, &key, &disposition);
    if (opened != ERROR_SUCCESS) {
        error = RegistryFailure(path, opened);
        return false;
    }
    return true;
}

bool WriteSettings(HKEY key, const UserSettings& settings, std::string& error) {
    bool stored = true;
    if (settings.byteOrder) {
        stored = SetDword(key, kFileType, *settings.byteOrder, error);
    }
    if (stored && settings.compression) {
        stored = SetDword(key, kCompression, *settings.compression, error);
    }
    if (stored && settings.colorCompression) {
        stored = SetDword(key, kColorCompression, *settings.colorCompression, error);
    }
    if (stored && settings.jpegQuality) {
        stored = SetDword(key, kJpegQuality, *settings.jpegQuality, error);
    }
    if (stored && settings.fileKind) {
        stored = SetDword(key, kBigTiff, *settings.fileKind, error);
    }
    return stored;
}

// The user's stored settings; none where the key or a value is missing.
UserSettings StoredSettings() {
    UserSettings stored;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, PluginKeyBelow(kStateKeyPath).c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        return stored;
    }
    stored.byteOrder = GetDword(key, kFileType);
    stored.compression = GetDword(key, kCompression);
    stored.colorCompression = GetDword(key, kColorCompression);
    stored.jpegQuality = GetDword(key, kJpegQuality);
    stored.fileKind = GetDword(key, kBigTiff);
    RegCloseKey(key);
    return stored;
}

}  // namespace

bool SaveUserSettings(const UserSettings& settings, std::string& error) {
    HKEY key = nullptr;
    if (!CreateKey(PluginKeyBelow(kStateKeyPath), key, error)) {
        return false;
    }
    const bool stored = WriteSettings(key, settings, error);
    RegCloseKey(key);
    return stored;
}

bool WriteJobSettings(const std::string& jobKeyPath, const UserSettings& given, std::string& error) {
    const UserSettings stored = StoredSettings();
    UserSettings effective;
    effective.byteOrder = given.byteOrder.value_or(stored.byteOrder.value_or(static_cast<uint32_t>(kDefaultByteOrder)));
    effective.compression =
        given.compression.value_or(stored.compression.value_or(static_cast<uint32_t>(kDefaultCompression)));
    effective.colorCompression = given.colorCompression.value_or(
        stored.colorCompression.value_or(static_cast<uint32_t>(kDefaultColorCompression)));
    // Unset, the plug-in's default: a job's key holds no quality then.
    effective.jpegQuality = given.jpegQuality ? given.jpegQuality : stored.jpegQuality;
    // Always written: a failed job's key, which the next job on the file
    // takes over, must not keep its kind.
    effective.fileKind = given.fileKind.value_or(stored.fileKind.value_or(kDefaultFileKind));
    HKEY key = nullptr;
    if (!CreateKey(PluginKeyBelow(jobKeyPath), key, error)) {
        return false;
    }
    const bool written = WriteSettings(key, effective, error);
    RegCloseKey(key);
    return written;
}

void DeleteJobKey(const std::string& jobKeyPath) {
    RegDeleteKeyA(HKEY_CURRENT_USER, PluginKeyBelow(jobKeyPath).c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, jobKeyPath.c_str());
}
