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
    job_.Load(JobValue::PageCount);
    status = TiffPageWriter::BeginPage();
    if (status != StatusOk || job_.pageCount == 0) return status;

    // A later page: the output file and the page together must stay below
    // the 32-bit offset limit. Both were measured as the page was begun, the
    // output while the host holds it for the job.
    if (!ReadPageFilePath()) return StatusBadSequence;
    status = begunOutputBytes_ != UINT64_MAX ? FileHandle::CheckCombinedSize(begunPageFileBytes_, begunOutputBytes_)
                                             : FileHandle::CheckCombinedSize(begunPageFileBytes_, target_->path);
    if (status != StatusOk) pageFile_.Discard();
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
