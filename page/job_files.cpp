// The files a job leaves behind, proved by their identity before they go:
// the page file "TempFile" names, a committed page's file that could not be
// deleted, and a staged copy beside the output file.
#include <cstring>

#include "page/page_temp_file.h"
#include "page/page_writer.h"

void PageWriter::RemoveStrayStagedFile() {
    job_.stagedFilePath[0] = '\0';
    job_.stagedFileIdentity[0] = '\0';
    if (!job_.Load(JobValue::StagedFilePath)) return;
    job_.Load(JobValue::StagedFileIdentity);
    FileHandle::RemoveOwned(job_.stagedFilePath, ParseFileIdentity(job_.stagedFileIdentity));
    // A record left behind misleads no one: its file is proved by identity.
    (void)job_.Delete(job_values::kStagedFile);
}

PluginStatus PageWriter::NoRoomOn(const char* path, bool temporaryFolder) {
    fullVolume_.temporaryFolder = temporaryFolder;
    std::strncpy(fullVolume_.path, path != nullptr ? path : "", sizeof(fullVolume_.path) - 1);
    fullVolume_.path[sizeof(fullVolume_.path) - 1] = '\0';
    return StatusDiskFull;
}

bool PageWriter::ReadPageFilePath() {
    job_.pageFileIdentity[0] = '\0';
    if (!job_.Load(JobValue::PageFilePath) || !IsPageTempFile(job_.pageFilePath)) return false;
    job_.Load(JobValue::PageFileIdentity);
    return true;
}

// A page prepared while another was begun and never ended replaces it: the
// old page file cannot be ended as a page of the new format.
bool PageWriter::DropOpenPage() {
    if (!ReadPageFilePath()) return true;
    pageFile_.Discard();
    return job_.Delete(job_values::kOpenPage);
}

PluginStatus PageWriter::ReleaseJobFiles() {
    // A file still held (its close failed) cannot be deleted.
    if (output_.IsOpen()) output_.Close();
    pageFile_.CloseIfOpen();
    pageFile_.DropStray();
    // Only a page file of ours is deleted, whatever the registry names.
    if (ReadPageFilePath()) pageFile_.Discard();
    return job_.Delete(job_values::kPreparedOrOpenPage) ? StatusOk : StatusStateUnavailable;
}
