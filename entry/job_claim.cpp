// Whose job the request's key holds, and the files a job left behind: a job
// held by another process still running is never touched; a dead owner's
// job is taken over, its page file and staged copy deleted when they prove
// to be the ones it made.
#include <cstring>

#include "entry/tiff_page_writer.h"
#include "page/page_temp_file.h"

PluginStatus TiffPageWriter::ClaimJob() {
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
    RemoveStrayStagedFile();
    return StatusOk;
}

bool TiffPageWriter::HeldByAnotherProcess() {
    job_.jobOwner[0] = '\0';
    if (!job_.Load(JobValue::JobOwner)) return false;
    ProcessStamp owner;
    ProcessStamp self;
    if (!ParseProcessStamp(job_.jobOwner, &owner)) return false;
    if (StampOfThisProcess(&self) && owner == self) return false;
    return owner.id != GetCurrentProcessId() && IsStillRunning(owner);
}

void TiffPageWriter::RemoveStrayStagedFile() {
    job_.stagedFilePath[0] = '\0';
    job_.stagedFileIdentity[0] = '\0';
    if (!job_.Load(JobValue::StagedFilePath)) return;
    job_.Load(JobValue::StagedFileIdentity);
    FileHandle::RemoveOwned(job_.stagedFilePath, ParseFileIdentity(job_.stagedFileIdentity));
    // A record left behind misleads no one: its file is proved by identity.
    (void)job_.Delete(job_values::kStagedFile);
}

PluginStatus TiffPageWriter::NoRoomOn(const char* path, bool temporaryFolder) {
    fullVolume_.temporaryFolder = temporaryFolder;
    std::strncpy(fullVolume_.path, path != nullptr ? path : "", sizeof(fullVolume_.path) - 1);
    fullVolume_.path[sizeof(fullVolume_.path) - 1] = '\0';
    return StatusDiskFull;
}

bool TiffPageWriter::ReadPageFilePath() {
    job_.pageFileIdentity[0] = '\0';
    if (!job_.Load(JobValue::PageFilePath) || !IsPageTempFile(job_.pageFilePath)) return false;
    job_.Load(JobValue::PageFileIdentity);
    return true;
}
