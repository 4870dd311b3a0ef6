// Processes: GetCurrentProcessId, OpenProcess, GetExitCodeProcess and
// GetProcessTimes, over /proc.
//
// A process is known by its id and its start time, so a handle never
// follows its id on to a later process that was given the same number: once
// the process has ended (a zombie included) or its id names another, the
// handle's process is no longer active.
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/last_error.h"
#include "platform/live_list.h"
#include "platform/processes.h"

using platform::FailWith;

namespace {

struct ProcessObject : platform::LiveLinks<ProcessObject> {
    ProcessObject(DWORD processId, uint64_t start) : id(processId), startTicks(start) {}
    DWORD id;
    uint64_t startTicks;  // clock ticks since boot at which the process started
};

platform::LiveList<ProcessObject> liveProcesses;
static_assert(std::is_trivially_destructible_v<platform::LiveList<ProcessObject>>);

// State and start time (fields 3 and 22 of /proc/<id>/stat); false when no
// process has the id.
bool ReadProcessStat(DWORD id, char* state, uint64_t* startTicks) {
    char path[64];
    snprintf(path, sizeof(path), "/proc/%u/stat", static_cast<unsigned>(id));
    FILE* file = fopen(path, "re");
    if (file == nullptr) return false;
    char line[1024] = {};
    size_t length = fread(line, 1, sizeof(line) - 1, file);
    fclose(file);
    line[length] = '\0';
    // The command name (field 2) may hold spaces and parentheses: the
    // fields after it start past its last ')'.
    const char* rest = strrchr(line, ')');
    if (rest == nullptr) return false;
    unsigned long long start = 0;
    // state, then fields 4 to 21 skipped, then the start time.
    if (sscanf(rest + 1, " %c %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %llu", state,
               &start) != 2)
        return false;
    *startTicks = start;
    return true;
}

bool IsRunning(const ProcessObject& process) {
    char state = 0;
    uint64_t start = 0;
    if (!ReadProcessStat(process.id, &state, &start)) return false;
    return start == process.startTicks && state != 'Z' && state != 'X';
}

uint64_t BootTimeSeconds() {
    FILE* file = fopen("/proc/stat", "re");
    if (file == nullptr) return 0;
    char line[256];
    unsigned long long boot = 0;
    while (fgets(line, sizeof(line), file) != nullptr) {
        if (sscanf(line, "btime %llu", &boot) == 1) break;
    }
    fclose(file);
    return boot;
}

ProcessObject* Lookup(HANDLE handle) {
    if (!liveProcesses.Contains(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return static_cast<ProcessObject*>(handle);
}

}  // namespace

namespace platform {

bool IsProcessHandle(HANDLE handle) { return liveProcesses.Contains(handle); }

BOOL CloseProcessHandle(HANDLE handle) {
    ProcessObject* object = Lookup(handle);
    if (object == nullptr || !liveProcesses.Remove(object)) return FailWith(ERROR_INVALID_HANDLE);
    delete object;
    return TRUE;
}

}  // namespace platform

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

// As on Windows, an id that names no process (any more) cannot be opened.
HANDLE OpenProcess(DWORD access, BOOL inheritHandle, DWORD processId) {
    char state = 0;
    uint64_t start = 0;
    if (processId == 0 || !ReadProcessStat(processId, &state, &start) || state == 'Z' || state == 'X') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto* object = new ProcessObject(processId, start);
    liveProcesses.Add(object);
    SetLastError(ERROR_SUCCESS);
    return object;
}

// The exit code of an ended process is not kept on Linux: it reads as 0.
BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode) {
    ProcessObject* object = Lookup(process);
    if (object == nullptr) return FALSE;
    if (exitCode == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
    *exitCode = IsRunning(*object) ? STILL_ACTIVE : 0;
    return TRUE;
}

// Only the creation time is known; the other times read as zero.
BOOL GetProcessTimes(HANDLE process, FILETIME* creation, FILETIME* exit, FILETIME* kernel, FILETIME* user) {
    ProcessObject* object = Lookup(process);
    if (object == nullptr) return FALSE;
    if (creation == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
    const uint64_t ticksPerSecond = static_cast<uint64_t>(sysconf(_SC_CLK_TCK));
    constexpr uint64_t kEpochDifference = 11644473600ull;  // 1601 to 1970, in seconds
    const uint64_t hundredNs = (BootTimeSeconds() + kEpochDifference) * 10000000ull +
                               object->startTicks * (10000000ull / (ticksPerSecond != 0 ? ticksPerSecond : 100));
    *creation = {static_cast<DWORD>(hundredNs), static_cast<DWORD>(hundredNs >> 32)};
    for (FILETIME* other : {exit, kernel, user}) {
        if (other != nullptr) *other = {};
    }
    return TRUE;
}
