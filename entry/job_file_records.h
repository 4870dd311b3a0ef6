// The records a job keeps in its registry key of the files it makes: the
// page file in the temp folder and the staged copy beside the output file.
// Each is named before the file is made and carries its identity once it
// is, so that a job killed at any moment leaves files the next job on that
// key can prove its own.
#pragma once

#include "output/file_handle.h"
#include "state/job_state.h"

// "TempFile" and "TempFile Identity".
class PageFileRecord : public CreationRecord {
public:
    explicit PageFileRecord(JobState& job) : job_(job) {}
    bool Named(const char* path) override;
    bool Made(const FileIdentity& identity) override;
    void Gone() override;

private:
    JobState& job_;
};

// "Staged File" and "Staged File Identity".
class StagedFileRecord : public CreationRecord {
public:
    explicit StagedFileRecord(JobState& job) : job_(job) {}
    bool Named(const char* path) override;
    bool Made(const FileIdentity& identity) override;
    void Gone() override;

private:
    JobState& job_;
};
