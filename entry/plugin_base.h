// The root of the plug-in classes: the registry location and the job's
// values kept there, the host records bound for the current
// command, and the six command operations in their slot order.
#pragma once

#include <cstdint>

#include "base/status.h"
#include "entry/host_records.h"
#include "state/job_state.h"
#include "state/state_store.h"

class PluginBase {
public:
    PluginBase() = default;
    PluginBase(const PluginBase&) = delete;
    PluginBase& operator=(const PluginBase&) = delete;

    virtual ~PluginBase();                    // slot 0
    virtual PluginStatus Initialize() = 0;    // slot 1
    virtual PluginStatus ShowSettings() = 0;  // slot 2
    virtual PluginStatus ShowAbout() = 0;     // slot 3
    virtual PluginStatus BeginPage() = 0;     // slot 4
    virtual PluginStatus WritePalette() = 0;  // slot 5
    virtual PluginStatus WriteBand() = 0;     // slot 6

    // Stores the request, its target and the target's image for this command.
    void BindRequest(PluginRequest* request);
    // Closes the job's key at the end of a command: no handle is held
    // between commands. Every value the command saved is committed already.
    void ReleaseState() { (void)state_.Commit(); }

protected:
    // Points the state store at the current request's key and "ZEDUZ-ORID".
    void SetStateLocation();
    // The same for a command that needs the job's state: StatusStateUnavailable
    // when the registry cannot be used at all, so that the job fails instead
    // of running as if it had no state.
    PluginStatus OpenJobState();

    StateStore state_;
    JobState job_{state_};  // the job's values, read and written through state_
    PluginRequest* request_ = nullptr;
    TargetFile* target_ = nullptr;
    ScanImage* image_ = nullptr;
};
