// The page commands of the plug-in object. Each first points the state store
// at the current request (a registry that cannot be used fails every one of
// them), then checks the job's owner and its phase before anything else, and
// runs the page engine's operation on what the host's records describe.
#include "entry/multi_tiff_plugin.h"
#include "state/job_phase.h"
#include "tiff/image_format.h"

PluginStatus MultiTiffPlugin::PreparePage() {
    PluginStatus status = OpenJobState();
    if (status == StatusOk) status = ClaimJob();
    if (status == StatusOk) status = ClassifyImage();
    return status != StatusOk ? status : writer_.Prepare(image_->continueFile != 0, target_->path);
}

PluginStatus MultiTiffPlugin::BeginPage() {
    PluginStatus status = OpenJobState();
    if (status != StatusOk) return status;
    job_.Load(JobValue::PageCount);
    if (HeldByAnotherProcess()) return StatusJobInUse;
    job_.Load(job_values::kSettings);
    // No prepared page: the job has ended (or never begun) since the last one.
    if (!PhaseAdmits(PhaseOf(job_.Load(JobValue::ImageFormat), false), JobCommand::BeginPage)) return StatusBadSequence;
    status = writer_.Begin(PageOfImage(), target_->path);
    if (status != StatusOk || job_.pageCount == 0) return status;
    return writer_.CheckLaterPageFits(target_->path);
}

PluginStatus MultiTiffPlugin::WritePalette() {
    PluginStatus status = OpenJobState();
    if (status != StatusOk) return status;
    if (HeldByAnotherProcess()) return StatusJobInUse;
    const JobPhase phase = PhaseOf(false, writer_.ReadPageFilePath());
    job_.Load(job_values::kPageFormat);
    // A palette for a format without one is no command at all.
    if (!IsPaletteFormat(job_.imageFormat)) return StatusOk;
    // The map lies at the end of the page file only until the first band.
    job_.Load(JobValue::BandCount);
    if (!PhaseAdmits(phase, JobCommand::WritePalette) || job_.bandCount != 0) return StatusBadSequence;
    return writer_.WritePalette(PaletteOfImage());
}

PluginStatus MultiTiffPlugin::WriteBand() {
    PluginStatus status = OpenJobState();
    if (status != StatusOk) return status;
    if (HeldByAnotherProcess()) return StatusJobInUse;
    if (!PhaseAdmits(PhaseOf(false, writer_.ReadPageFilePath()), JobCommand::WriteBand)) return StatusBadSequence;
    job_.Load(job_values::kBandInputs);
    return writer_.WriteBand(BandOfImage());
}

PluginStatus MultiTiffPlugin::EndPage() {
    PluginStatus status = OpenJobState();
    if (status != StatusOk) return status;
    if (HeldByAnotherProcess()) return StatusJobInUse;
    if (!PhaseAdmits(PhaseOf(false, writer_.ReadPageFilePath()), JobCommand::EndPage)) return StatusBadSequence;
    job_.Load(job_values::kPageEndInputs);
    return writer_.End(target_->path);
}

// What the job holds is released even when its state cannot be reached; a
// job that another process still runs is not this one to end.
PluginStatus MultiTiffPlugin::EndJob() {
    PluginStatus status = OpenJobState();
    writer_.ForgetJob();
    PluginStatus ended = StatusOk;
    if (!HeldByAnotherProcess()) {
        ended = writer_.ReleaseJobFiles();
        writer_.RemoveStrayStagedFile();
        if (!job_.Delete(job_values::kJob)) ended = StatusStateUnavailable;
    }
    return status != StatusOk ? status : ended;
}

PluginStatus MultiTiffPlugin::ClassifyImage() {
    job_.imageFormat = FormatNone;
    if (image_->unsupportedLayout != 0) return StatusUnsupportedImage;
    job_.imageFormat = ClassifyFormat(image_->bitsPerPixel, image_->samplesPerPixel, image_->colorKind);
    return job_.imageFormat == FormatNone ? StatusUnsupportedImage : StatusOk;
}

PageDescription MultiTiffPlugin::PageOfImage() const {
    return {image_->width, image_->rows, image_->xResolution, image_->yResolution};
}

// A band's yResolution is its row stride (bilevel bands).
BandRows MultiTiffPlugin::BandOfImage() const {
    return {image_->pixels, image_->width, image_->rows, image_->yResolution};
}

// The palette form of the host's ScanImage (entry/host_records.h).
PaletteColors MultiTiffPlugin::PaletteOfImage() const {
    const auto* record = reinterpret_cast<const uint8_t*>(image_);
    const uint32_t count = record[kPaletteEntryCountOffset] | (record[kPaletteEntryCountOffset + 1] << 8);
    return {count, record + kPaletteFirstEntryOffset + kPaletteRedInEntry, kPaletteEntryStride};
}
