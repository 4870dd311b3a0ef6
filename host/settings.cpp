#include "host/settings.h"

#include "platform/win32.h"

namespace {

bool SetDword(HKEY key, const char* name, uint32_t value, std::string& error) {
    const DWORD data = value;
    const LSTATUS result = RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
    if (result != ERROR_SUCCESS) {
        error =
            std::string("cannot store the setting \"") + name + "\" (registry error " + std::to_string(result) + ")";
        return false;
    }
    return true;
}

}  // namespace

bool StoreUserSettings(const UserSettings& settings, std::string& error) {
    if (!settings.byteOrder && !settings.compression && !settings.colorCompression) {
        return true;
    }
    const std::string path = std::string(kStateKeyPath) + "\\" + kPluginSubkey;
    HKEY key = nullptr;
    DWORD disposition = 0;
    char noClass[] = "";
    const LSTATUS opened = RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, noClass, REG_OPTION_NON_VOLATILE,
                                           KEY_ALL_ACCESS, nullptr, &key, &disposition);
    if (opened != ERROR_SUCCESS) {
        error = "cannot open the settings key HKEY_CURRENT_USER\\" + path + " (registry error " +
                std::to_string(opened) + ")";
        return false;
    }
    bool stored = true;
    if (settings.byteOrder) {
        stored = SetDword(key, "File Type", *settings.byteOrder, error);
    }
    if (stored && settings.compression) {
        stored = SetDword(key, "Compression", *settings.compression, error);
    }
    if (stored && settings.colorCompression) {
        stored = SetDword(key, "Color Compression", *settings.colorCompression, error);
    }
    RegCloseKey(key);
    return stored;
}
