// The set of module handles the module services have handed out.
#include "platform/module_registry.h"

#include <mutex>
#include <unordered_set>

namespace {

struct KnownModules {
    std::mutex mutex;
    std::unordered_set<HMODULE> handles;
};

KnownModules& TheKnownModules() {
    static KnownModules* modules = new KnownModules;  // outlives static destructors
    return *modules;
}

}  // namespace

namespace platform {

void RememberModule(HMODULE module) {
    KnownModules& modules = TheKnownModules();
    std::lock_guard<std::mutex> lock(modules.mutex);
    modules.handles.insert(module);
}

void ForgetModule(HMODULE module) {
    KnownModules& modules = TheKnownModules();
    std::lock_guard<std::mutex> lock(modules.mutex);
    modules.handles.erase(module);
}

bool IsKnownModule(HMODULE module) {
    KnownModules& modules = TheKnownModules();
    std::lock_guard<std::mutex> lock(modules.mutex);
    return modules.handles.count(module) == 1;
}

}  // namespace platform
