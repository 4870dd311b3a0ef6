#include "entry/job_file_records.h"

#include <cstring>

namespace {

void CopyPath(const char* path, char (&field)[260]) {
    if (path == field) return;
    std::strncpy(field, path, sizeof(field) - 1);
    field[sizeof(field) - 1] = '\0';
}

}  // namespace

bool PageFileRecord::Named(const char* path) {
    CopyPath(path, job_.pageFilePath);
    job_.pageFileIdentity[0] = '\0';
    // The identity of a file made before under the old name goes first.
    return job_.Delete(JobValue::PageFileIdentity) && job_.Save(JobValue::PageFilePath);
}

bool PageFileRecord::Made(const FileIdentity& identity) {
    FormatFileIdentity(identity, job_.pageFileIdentity);
    return job_.Save(JobValue::PageFileIdentity);
}

// A record left behind names a file that is gone, and every later use of
// it proves the file by its identity first.
void PageFileRecord::Gone() { (void)job_.Delete(job_values::kOpenPage); }

bool StagedFileRecord::Named(const char* path) {
    CopyPath(path, job_.stagedFilePath);
    job_.stagedFileIdentity[0] = '\0';
    // The identity of a file made before under the old name goes first.
    return job_.Delete(JobValue::StagedFileIdentity) && job_.Save(JobValue::StagedFilePath);
}

bool StagedFileRecord::Made(const FileIdentity& identity) {
    FormatFileIdentity(identity, job_.stagedFileIdentity);
    return job_.Save(JobValue::StagedFileIdentity);
}

void StagedFileRecord::Gone() { (void)job_.Delete(job_values::kStagedFile); }
