// The process that runs a job, as the job's registry key records it
// ("Job Owner"): its id and creation time, so that a later process given the
// same id is never taken for it.
#pragma once

#include <cstdint>

struct ProcessStamp {
    uint32_t id = 0;
    uint64_t created = 0;  // creation time, 100-nanosecond units

    bool operator==(const ProcessStamp& other) const { return id == other.id && created == other.created; }
};

// False when the system does not say.
bool StampOfThisProcess(ProcessStamp* stamp);

// "<id> <creation time, 16 hex digits>"; false for any other text.
void FormatProcessStamp(const ProcessStamp& stamp, char (&text)[260]);
bool ParseProcessStamp(const char* text, ProcessStamp* stamp);

// True while the process the stamp names runs. A process that cannot be
// asked about although it exists counts as running: its job is never taken
// from it on a guess.
bool IsStillRunning(const ProcessStamp& stamp);
