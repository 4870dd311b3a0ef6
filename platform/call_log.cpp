// The call log of platform/call_log.h. Compiled into test builds only.
#ifdef ZEDUZ_FAULT_INJECTION

#include "platform/call_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <string>

namespace platform::testing {

namespace {

// The log, opened at the first call; -1 when ZEDUZ_CALL_LOG is not set.
int LogDescriptor() {
    static const int descriptor = [] {
        const char* path = std::getenv("ZEDUZ_CALL_LOG");
        return path != nullptr && path[0] != '\0' ? open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600) : -1;
    }();
    return descriptor;
}

}  // namespace

// One write per line, appended: lines of the host and of the processes it
// starts never interleave.
void LogCall(const char* call, const char* name) {
    static std::mutex mutex;
    const int descriptor = LogDescriptor();
    if (descriptor < 0) return;
    std::string line = call;
    if (name != nullptr) line.append(" ").append(name);
    line.push_back('\n');
    std::lock_guard<std::mutex> lock(mutex);
    (void)!write(descriptor, line.data(), line.size());
}

}  // namespace platform::testing

#endif  // ZEDUZ_FAULT_INJECTION
