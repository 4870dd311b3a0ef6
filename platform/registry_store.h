// Where and how the registry lives on disk.
//
// Below the registry directory (ZEDUZ_REGISTRY_DIR, else
// $XDG_CONFIG_HOME/zeduz/registry, else $HOME/.config/zeduz/registry) each
// predefined root is a directory named after it; each key is a directory
// holding its values in "values.reg" (registry_format.h) and its subkeys as
// directories. Key names are matched without regard to case. Every change
// runs under one lock file, so processes never interleave a read-modify-write,
// and replaces the values file with a complete, synced new one, so a crash
// leaves either the old or the new file.
#pragma once

#include <string>
#include <vector>

#include "platform/registry_format.h"
#include "platform/win32_linux.h"

namespace platform::registry {

std::string RegistryDirectory();
// Directory of a predefined root key; empty for any other handle.
std::string RootDirectory(HKEY root);

// Splits a subkey path at backslashes. ERROR_SUCCESS, or the error for a
// path that is too long or has empty or overlong components.
LSTATUS SplitKeyPath(const char* subKey, std::vector<std::string>* components);

// The directory of the key `components` below `base`; with `create`, makes
// the missing keys on the way and tells whether the last one was new.
LSTATUS ResolveKey(const std::string& base, const std::vector<std::string>& components, bool create,
                   std::string* directory, bool* created);

// The values of the key in `directory`; an absent file holds none.
LSTATUS ReadValues(const std::string& directory, ParsedValues* values);

// Runs `change` on the key's values under the registry lock and stores the
// result durably when it returns ERROR_SUCCESS.
template <typename Change>
LSTATUS ChangeValues(const std::string& directory, Change change);

// Implementation of ChangeValues without the template.
LSTATUS ChangeValuesWith(const std::string& directory, LSTATUS (*change)(std::vector<Value>&, void*),
                         void* context);

template <typename Change>
LSTATUS ChangeValues(const std::string& directory, Change change) {
    return ChangeValuesWith(
        directory,
        [](std::vector<Value>& values, void* context) -> LSTATUS {
            return (*static_cast<Change*>(context))(values);
        },
        &change);
}

}  // namespace platform::registry
