#include "platform/registry_location.h"

#include <cstdlib>

namespace platform::registry {

namespace {

constexpr char kFileName[] = "/registry.db";

bool IsSet(const char* value) { return value != nullptr && *value != '\0'; }

}  // namespace

std::string DatabasePath() {
    const char* configured = getenv("ZEDUZ_REGISTRY_DIR");
    if (IsSet(configured)) return configured + std::string(kFileName);
    const char* config = getenv("XDG_CONFIG_HOME");
    if (IsSet(config)) return config + std::string("/zeduz") + kFileName;
    const char* home = getenv("HOME");
    return (IsSet(home) ? home : "/tmp") + std::string("/.config/zeduz") + kFileName;
}

}  // namespace platform::registry
