// The page operations of the plug-in object: each first points the state
// store at the current request, then runs the page writer's operation.
#include "entry/multi_tiff_plugin.h"

PluginStatus MultiTiffPlugin::PreparePage() {
    SetStateLocation();
    return TiffPageWriter::PreparePage();
}

PluginStatus MultiTiffPlugin::BeginPage() {
    SetStateLocation();
    state_.ReadDword(value_names::kPageCount, &pageCount_);
    PluginStatus status = TiffPageWriter::BeginPage();
    if (status != StatusOk || pageCount_ == 0) return status;

    // A later page: the output file and the page together must stay below
    // the 32-bit offset limit.
    state_.ReadString(value_names::kTempFile, tempPath_);
    status = FileHandle::CheckCombinedSize(tempPath_, target_->path);
    if (status != StatusOk) FileHandle::RemoveFile(tempPath_);
    return status;
}

PluginStatus MultiTiffPlugin::WritePalette() {
    SetStateLocation();
    return TiffPageWriter::WritePalette();
}

PluginStatus MultiTiffPlugin::WriteBand() {
    SetStateLocation();
    return TiffPageWriter::WriteBand();
}

PluginStatus MultiTiffPlugin::EndPage() {
    SetStateLocation();
    return TiffPageWriter::EndPage();
}

PluginStatus MultiTiffPlugin::EndJob() {
    SetStateLocation();
    return TiffPageWriter::EndJob();
}
