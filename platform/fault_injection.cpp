// The test controls of platform/testing.h: failing calls, injected free
// space, a write budget and lead bytes. Compiled into test builds only.
#ifdef ZEDUZ_FAULT_INJECTION

#include <signal.h>

#include <array>
#include <cstdlib>
#include <mutex>

#include "platform/call_log.h"
#include "platform/fault_hooks.h"
#include "platform/testing.h"

namespace {

constexpr size_t kServiceCount = static_cast<size_t>(platform::testing::Service::RegistryWrite) + 1;

struct ServicePlan {
    int calls = 0;
    int skip = 0;
    int failures = 0;
};

struct Controls {
    std::mutex mutex;
    std::array<ServicePlan, kServiceCount> plans{};
    platform::hooks::FreeSpaceMode freeSpaceMode = platform::hooks::FreeSpaceMode::Real;
    uint64_t injectedFreeSpace = 0;
    bool extendedQueryAvailable = true;
    std::optional<uint64_t> writeBudget;
    std::array<bool, 256> leadBytes{};
};

Controls& TheControls() {
    static Controls controls;
    return controls;
}

ServicePlan& PlanOf(Controls& controls, platform::testing::Service service) {
    return controls.plans[static_cast<size_t>(service)];
}

// ZEDUZ_CRASH_AT_CALL: the process dies at that service call, as on a power
// cut or a killed host, so that a test can look at what the files hold.
void CrashAtCall() {
    static const long crashAt = [] {
        const char* value = std::getenv("ZEDUZ_CRASH_AT_CALL");
        return value != nullptr ? std::strtol(value, nullptr, 10) : 0L;
    }();
    static long calls = 0;
    if (crashAt > 0 && ++calls == crashAt) raise(SIGKILL);
}

const char* ServiceName(platform::testing::Service service) {
    static constexpr const char* kNames[kServiceCount] = {"Create",    "Open",   "Read",         "Write", "Seek",
                                                          "Close",     "Delete", "Copy",         "Alloc", "ObjectAlloc",
                                                          "FreeSpace", "Thread", "RegistryWrite"};
    return kNames[static_cast<size_t>(service)];
}

}  // namespace

namespace platform::hooks {

bool ShouldFail(Service service) { return platform::testing::ConsumeFault(service); }

bool ChargeWrite(uint64_t bytes) {
    Controls& controls = TheControls();
    std::lock_guard<std::mutex> lock(controls.mutex);
    if (!controls.writeBudget) return true;
    if (bytes > *controls.writeBudget) return false;
    *controls.writeBudget -= bytes;
    return true;
}

FreeSpaceMode FreeSpaceSetting(uint64_t* injectedBytes) {
    if (platform::testing::ConsumeFault(Service::FreeSpace)) {
        *injectedBytes = 0;
        return FreeSpaceMode::Injected;
    }
    Controls& controls = TheControls();
    std::lock_guard<std::mutex> lock(controls.mutex);
    *injectedBytes = controls.injectedFreeSpace;
    return controls.freeSpaceMode;
}

bool ExtendedFreeSpaceQueryAvailable() {
    Controls& controls = TheControls();
    std::lock_guard<std::mutex> lock(controls.mutex);
    return controls.extendedQueryAvailable;
}

bool IsLeadByte(uint8_t value) {
    Controls& controls = TheControls();
    std::lock_guard<std::mutex> lock(controls.mutex);
    return controls.leadBytes[value];
}

}  // namespace platform::hooks

namespace platform::testing {

bool ConsumeFault(Service service) {
    // Every service call is a crash point, registry writes included: a kill
    // between naming a file and making it must leave nothing the next job
    // cannot find.
    CrashAtCall();
    LogCall(ServiceName(service));
    Controls& controls = TheControls();
    std::lock_guard<std::mutex> lock(controls.mutex);
    ServicePlan& plan = PlanOf(controls, service);
    ++plan.calls;
    if (plan.skip > 0) {
        --plan.skip;
        return false;
    }
    if (plan.failures > 0) {
        --plan.failures;
        return true;
    }
    return false;
}

void FailCalls(Service service, int count, int skip) {
    Controls& controls = TheControls();
    std::lock_guard<std::mutex> lock(controls.mutex);
    ServicePlan& plan = PlanOf(controls, service);
    plan.failures = count;
    plan.skip = skip;
}

int CallCount(Service service) {
    Controls& controls = TheControls();
    std::lock_guard<std::mutex> lock(controls.mutex);
    return PlanOf(controls, service).calls;
}

void SetFreeSpace(std::optional<uint64_t> bytes) {
    Controls& controls = TheControls();
    std::lock_guard<std::mutex> lock(controls.mutex);
    controls.freeSpaceMode = bytes ? hooks::FreeSpaceMode::Injected : hooks::FreeSpaceMode::Unknown;
    controls.injectedFreeSpace = bytes.value_or(0);
}

void SetExtendedFreeSpaceQueryAvailable(bool available) {
    Controls& controls = TheControls();
    std::lock_guard<std::mutex> lock(controls.mutex);
    controls.extendedQueryAvailable = available;
}

void SetWriteBudget(std::optional<uint64_t> bytes) {
    Controls& controls = TheControls();
    std::lock_guard<std::mutex> lock(controls.mutex);
    controls.writeBudget = bytes;
}

void SetLeadBytes(std::vector<uint8_t> leadBytes) {
    Controls& controls = TheControls();
    std::lock_guard<std::mutex> lock(controls.mutex);
    controls.leadBytes.fill(false);
    for (uint8_t value : leadBytes) controls.leadBytes[value] = true;
}

void Reset() {
    Controls& controls = TheControls();
    std::lock_guard<std::mutex> lock(controls.mutex);
    controls.plans = {};
    controls.freeSpaceMode = hooks::FreeSpaceMode::Real;
    controls.injectedFreeSpace = 0;
    controls.extendedQueryAvailable = true;
    controls.writeBudget.reset();
    controls.leadBytes.fill(false);
    MessageBoxes().clear();
}

}  // namespace platform::testing

#endif  // ZEDUZ_FAULT_INJECTION
