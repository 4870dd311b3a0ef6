// The records a job keeps in its registry key of the files it makes: the
// page file in the temp folder and the staged copy beside the output file.
// Each is named before the file is made and carries its identity once it
// is, so that a job killed at any moment leaves files the next job on that
// key can prove its own.
#pragma once

#include "output/file_handle.h"
#include "state/job_state.h"

class JobFileRecord : public CreationRecord {
public:
    // "TempFile" and "TempFile Identity"; gone with the rest of the open page.
    static JobFileRecord PageFile(JobState& job);
    // "Staged File" and "Staged File Identity".
    static JobFileRecord StagedFile(JobState& job);

    bool Named(const char* path) override;
    bool Made(const FileIdentity& identity) override;
    void Gone() override;

private:
    using Text = char (JobState::*)[260];
    JobFileRecord(JobState& job, bool pageFile, JobValue path, JobValue identity, Text pathText, Text identityText)
        : job_(job),
          pageFile_(pageFile),
          path_(path),
          identity_(identity),
          pathText_(pathText),
          identityText_(identityText) {}

    JobState& job_;
    bool pageFile_;
    JobValue path_, identity_;
    Text pathText_, identityText_;
};
