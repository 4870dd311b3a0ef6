// The one plug-in object: multi-page output, the user-facing operations, and
// page operations that first point the state store at the current request.
#pragma once

#include "entry/tiff_page_writer.h"

class MultiTiffPlugin : public TiffPageWriter {
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

private:
    // settingsText := byte-order text followed by compression text.
    void ComposeSettingsText();
};
