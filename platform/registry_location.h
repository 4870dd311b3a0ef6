// Where the registry database lives: "registry.db" in $ZEDUZ_REGISTRY_DIR,
// else in $XDG_CONFIG_HOME/zeduz, else in $HOME/.config/zeduz.
#pragma once

#include <string>

namespace platform::registry {

std::string DatabasePath();

}  // namespace platform::registry
