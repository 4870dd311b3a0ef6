// The phase a job is in between two commands, derived from what its
// registry key records (the state machine of job_state.h), and which page
// commands each phase admits. Every page command derives the phase from the
// first values it reads and checks it before it does anything else; a
// command the phase does not admit fails with StatusBadSequence and
// touches nothing.
#pragma once

#include <cstdint>

enum class JobPhase : uint8_t {
    NoJob,     // no page prepared: no "ImageFormat", no "TempFile"
    Prepared,  // "ImageFormat" set, no page file
    PageOpen,  // a page file named by "TempFile"
};

// A page file named means a page is open, whatever else is recorded.
constexpr JobPhase PhaseOf(bool formatRecorded, bool pageFileRecorded) {
    if (pageFileRecorded) return JobPhase::PageOpen;
    return formatRecorded ? JobPhase::Prepared : JobPhase::NoJob;
}

// The commands that act on a job. PreparePage and EndJob run in any phase
// (an open page is abandoned); BeginPage needs a prepared page (one open is
// replaced); the palette, the bands and the page's end need an open page.
enum class JobCommand : uint8_t { PreparePage, BeginPage, WritePalette, WriteBand, EndPage, EndJob };

constexpr bool PhaseAdmits(JobPhase phase, JobCommand command) {
    switch (command) {
        case JobCommand::PreparePage:
        case JobCommand::EndJob: return true;
        case JobCommand::BeginPage: return phase != JobPhase::NoJob;
        default: return phase == JobPhase::PageOpen;
    }
}
