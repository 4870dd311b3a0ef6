#include "entry/job_owner.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "platform/win32.h"

namespace {

// A handle that queries only, closed on every path.
class ProcessQuery {
public:
    explicit ProcessQuery(uint32_t id) : handle_(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id)) {}
    ~ProcessQuery() {
        if (handle_ != nullptr) CloseHandle(handle_);
    }
    ProcessQuery(const ProcessQuery&) = delete;
    ProcessQuery& operator=(const ProcessQuery&) = delete;

    HANDLE handle() const { return handle_; }

    bool CreationTime(uint64_t* created) const {
        FILETIME creation{}, exit{}, kernel{}, user{};
        if (handle_ == nullptr || !GetProcessTimes(handle_, &creation, &exit, &kernel, &user)) return false;
        *created = (uint64_t{creation.dwHighDateTime} << 32) | creation.dwLowDateTime;
        return true;
    }

private:
    HANDLE handle_;
};

}  // namespace

// A process's id and creation time never change while it runs, and every
// page command asks for them: they are asked of the system once per process
// (a forked child, with an id of its own, asks again).
bool StampOfThisProcess(ProcessStamp* stamp) {
    static ProcessStamp known{};
    const uint32_t id = GetCurrentProcessId();
    if (known.id != id) {
        ProcessStamp asked{id, 0};
        if (!ProcessQuery(id).CreationTime(&asked.created)) return false;
        known = asked;
    }
    *stamp = known;
    return true;
}

void FormatProcessStamp(const ProcessStamp& stamp, char (&text)[260]) {
    std::snprintf(text, sizeof(text), "%" PRIu32 " %016" PRIx64, stamp.id, stamp.created);
}

bool ParseProcessStamp(const char* text, ProcessStamp* stamp) {
    if (text == nullptr) return false;
    unsigned long id = 0;
    unsigned long long created = 0;
    char trailing = 0;
    if (std::sscanf(text, "%lu %16llx%c", &id, &created, &trailing) != 2 || id == 0 || id > UINT32_MAX) return false;
    stamp->id = static_cast<uint32_t>(id);
    stamp->created = created;
    return true;
}

bool IsStillRunning(const ProcessStamp& stamp) {
    ProcessQuery process(stamp.id);
    if (process.handle() == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process.handle(), &exitCode) || exitCode != STILL_ACTIVE) return false;
    uint64_t created = 0;
    return !process.CreationTime(&created) || created == stamp.created;
}
