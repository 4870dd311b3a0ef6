// The page operations of the plug-in object: each first points the state
// store at the current request, then runs the page writer's operation. A
// registry that cannot be used fails every one of them.
#include "entry/multi_tiff_plugin.h"

PluginStatus MultiTiffPlugin::PreparePage() {
    PluginStatus status = OpenJobState();
    return status != StatusOk ? status : TiffPageWriter::PreparePage();
}

PluginStatus MultiTiffPlugin::BeginPage() {
    PluginStatus status = OpenJobState();
    if (status != StatusOk) return status;
    state_.ReadDword(value_names::kPageCount, &pageCount_);
    status = TiffPageWriter::BeginPage();
    if (status != StatusOk || pageCount_ == 0) return status;

    // A later page: the output file and the page together must stay below
    // the 32-bit offset limit.
    state_.ReadString(value_names::kTempFile, tempPath_);
    status = FileHandle::CheckCombinedSize(tempPath_, target_->path);
    if (status != StatusOk) FileHandle::RemoveFile(tempPath_);
    return status;
}

PluginStatus MultiTiffPlugin::WritePalette() {
    PluginStatus status = OpenJobState();
    return status != StatusOk ? status : TiffPageWriter::WritePalette();
}

PluginStatus MultiTiffPlugin::WriteBand() {
    PluginStatus status = OpenJobState();
    return status != StatusOk ? status : TiffPageWriter::WriteBand();
}

PluginStatus MultiTiffPlugin::EndPage() {
    PluginStatus status = OpenJobState();
    return status != StatusOk ? status : TiffPageWriter::EndPage();
}

// What the job holds is released even when its state cannot be reached.
PluginStatus MultiTiffPlugin::EndJob() {
    PluginStatus status = OpenJobState();
    PluginStatus ended = TiffPageWriter::EndJob();
    return status != StatusOk ? status : ended;
}
