// Keys and values as rows of the registry database (registry_database.h).
//
// A key is named by its path from a root: "HKEY_CURRENT_USER\Software\Host".
// Key and value names match without regard to (ASCII) case, as on Windows,
// and keep the spelling they were first stored with. Values written and
// deleted gather in one transaction until CommitValues (or until a key is
// next named by its path); keys are created and deleted in a transaction of
// their own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32_linux.h"

namespace platform::registry {

struct Value {
    DWORD type;
    std::vector<uint8_t> data;
};

// Splits a subkey path at backslashes. ERROR_SUCCESS, or the error for a
// path that is too long or has empty or overlong components.
LSTATUS SplitKeyPath(const char* subKey, std::vector<std::string>* components);

// The stored path of the key `components` below the key `base`. With
// `snapshot` the key's reads to come share the read transaction its lookup
// opens (ReadValue), which CommitValues ends; a key not found leaves none.
LSTATUS OpenKey(const std::string& base, const std::vector<std::string>& components, bool snapshot, std::string* path);
// The same, making the keys missing on the way; tells whether the last one
// is new.
LSTATUS CreateKey(const std::string& base, const std::vector<std::string>& components, std::string* path,
                  bool* created);

// ERROR_FILE_NOT_FOUND when the key has no such value. With `snapshot` the
// read opens a read transaction (or joins the one open) that CommitValues ends.
LSTATUS ReadValue(const std::string& key, const std::string& name, bool snapshot, Value* value);
// ERROR_KEY_DELETED when the key is gone.
LSTATUS WriteValue(const std::string& key, const std::string& name, DWORD type, const uint8_t* data, size_t size);
// ERROR_FILE_NOT_FOUND when the key has no such value.
LSTATUS DeleteValue(const std::string& key, const std::string& name);

// Commits the values written and deleted since the last commit, or ends the
// reads' snapshot.
LSTATUS CommitValues();

// The key `path` and its values, refused (ERROR_ACCESS_DENIED) while keys lie
// below it.
LSTATUS DeleteKey(const std::string& path);

}  // namespace platform::registry
