// Whose job the request's key holds: a job held by another process still
// running is never touched; a dead owner's job is taken over, its staged
// copy deleted when it proves to be the one it made.
#include <cstring>

#include "entry/job_owner.h"
#include "entry/multi_tiff_plugin.h"

PluginStatus MultiTiffPlugin::ClaimJob() {
    if (HeldByAnotherProcess()) return StatusJobInUse;
    ProcessStamp self;
    if (StampOfThisProcess(&self)) {
        char text[260];
        FormatProcessStamp(self, text);
        if (std::strcmp(text, job_.jobOwner) != 0) {
            std::memcpy(job_.jobOwner, text, sizeof(text));
            // A job whose owner is not on record cannot be kept from others.
            if (!job_.Save(JobValue::JobOwner)) return StatusStateUnavailable;
        }
    }
    writer_.RemoveStrayStagedFile();
    return StatusOk;
}

bool MultiTiffPlugin::HeldByAnotherProcess() {
    job_.jobOwner[0] = '\0';
    if (!job_.Load(JobValue::JobOwner)) return false;
    ProcessStamp owner;
    ProcessStamp self;
    if (!ParseProcessStamp(job_.jobOwner, &owner)) return false;
    if (StampOfThisProcess(&self) && owner == self) return false;
    return owner.id != GetCurrentProcessId() && IsStillRunning(owner);
}
