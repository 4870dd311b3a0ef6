#include "page/job_file_records.h"

#include <cstring>

JobFileRecord JobFileRecord::PageFile(JobState& job) {
    return JobFileRecord(job, true, JobValue::PageFilePath, JobValue::PageFileIdentity, &JobState::pageFilePath,
                         &JobState::pageFileIdentity);
}

JobFileRecord JobFileRecord::StagedFile(JobState& job) {
    return JobFileRecord(job, false, JobValue::StagedFilePath, JobValue::StagedFileIdentity, &JobState::stagedFilePath,
                         &JobState::stagedFileIdentity);
}

bool JobFileRecord::Named(const char* path) {
    char(&field)[260] = job_.*pathText_;
    if (path != field) {
        std::strncpy(field, path, sizeof(field) - 1);
        field[sizeof(field) - 1] = '\0';
    }
    (job_.*identityText_)[0] = '\0';
    // The identity of a file made before under the old name goes with it.
    return job_.Replace(identity_, path_);
}

// A page file's identity is saved with the begun page, in the same command:
// a job killed before that finds the name alone, and a name without an
// identity is deleted as it is (a name lost loses no file's bytes).
bool JobFileRecord::Made(const FileIdentity& identity) {
    FormatFileIdentity(identity, job_.*identityText_);
    return pageFile_ || job_.Save(identity_);
}

// A record left behind names a file that is gone, and every later use of
// it proves the file by its identity first.
// The page file goes with the rest of the open page's values.
void JobFileRecord::Gone() {
    (void)(pageFile_ ? job_.Delete(job_values::kOpenPage) : job_.Delete(job_values::kStagedFile));
}
