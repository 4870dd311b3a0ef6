// The one plug-in object: the user-facing operations, and the page commands,
// each of which points the state store at the current request, reads the
// job's owner, phase and the values the command starts from, binds the
// host's records to the page engine's descriptions and runs the engine.
#pragma once

#include "entry/plugin_base.h"
#include "page/page_writer.h"

class MultiTiffPlugin : public PluginBase {
public:
    MultiTiffPlugin() = default;
    ~MultiTiffPlugin() override = default;

    PluginStatus Initialize() override;
    PluginStatus ShowSettings() override;
    PluginStatus ShowAbout() override;
    PluginStatus BeginPage() override;
    PluginStatus WritePalette() override;
    PluginStatus WriteBand() override;

    PluginStatus PreparePage();
    PluginStatus EndPage();
    PluginStatus EndJob();

    // The volume found full by the last command that failed with
    // StatusDiskFull.
    const FullVolume& fullVolume() const { return writer_.fullVolume(); }
    // What the message of the last command says beyond its status; a
    // command starts without one.
    FailureNote failureNote() const { return writer_.failureNote(); }
    void ClearFailureNote() { writer_.ClearFailureNote(); }

private:
    // settingsText := byte-order text followed by compression text.
    void ComposeSettingsText();

    // The job's owner (see job_owner.h): PreparePage claims the job for this
    // process, StatusJobInUse when another one still running holds it; the
    // other page commands refuse such a job without touching it.
    PluginStatus ClaimJob();
    bool HeldByAnotherProcess();
    // The prepared image's format from the host's ScanImage.
    PluginStatus ClassifyImage();
    // The host's records as the page engine takes them.
    PageDescription PageOfImage() const;
    BandRows BandOfImage() const;
    PaletteColors PaletteOfImage() const;

    PageWriter writer_{job_};
};
