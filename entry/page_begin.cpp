// The start of a page: its directory laid out for the place where the page
// will land in the output file, written into a fresh page file.
#include "entry/page_temp_file.h"
#include "entry/tiff_page_writer.h"
#include "output/global_block.h"
#include "tiff/byte_order.h"
#include "tiff/directory_layout.h"
#include "tiff/directory_writer.h"
#include "tiff/g4_encoder.h"
#include "tiff/page_chain.h"

namespace {

constexpr uint32_t kFirstDirectoryOffset = 8;
constexpr uint16_t kTiffMagic = 42;

// The header's byte-order mark: any order other than Intel's is Motorola's,
// as the stores write it.
uint16_t HeaderByteOrder(int32_t byteOrder) {
    return static_cast<uint16_t>(byteOrder == ByteOrderIntel ? ByteOrderIntel : ByteOrderMotorola);
}

bool HasRoom(uint64_t freeSpace, uint64_t bytes) {
    if (freeSpace == kFreeSpaceUnknown) return true;  // the writes will tell
    return static_cast<int64_t>(freeSpace) >= static_cast<int64_t>(bytes);
}

}  // namespace

PluginStatus TiffPageWriter::BeginPage() {
    job_.Load(job_values::kSettings);
    // No prepared page: the job has ended (or never begun) since the last one.
    if (!job_.Load(JobValue::ImageFormat)) return StatusBadSequence;
    job_.directoryEntryCount = 0;
    job_.codedStripBytes = 0;
    job_.Load(JobValue::OutputEndOffset);
    if (FindLayout(job_.imageFormat) == nullptr) return StatusUnsupportedImage;
    if (image_->width == 0 || image_->rows == 0) return StatusBadRecord;

    // A later page lands where the output file really ends, whatever the
    // pages before it predicted.
    uint32_t directoryOffset = kFirstDirectoryOffset;
    if (multiPage_ && job_.pageCount > 0) {
        PluginStatus status = LocateLaterPage(&directoryOffset);
        if (status != StatusOk) return status;
    }
    LayoutRequest request{job_.imageFormat, job_.compression, multiPage_ != 0, job_.pageCount, directoryOffset,
                          {image_->width, image_->rows, image_->xResolution, image_->yResolution}};
    PagePlan plan;
    PluginStatus status = PlanPage(request, &plan);
    if (status != StatusOk) return status;
    job_.directoryEntryCount = plan.entryCount;
    job_.codedStripBytes = static_cast<uint32_t>(plan.stripBytes);
    if (multiPage_) job_.outputEndOffset = plan.endOffset;

    staging_ = AllocateBlock(plan.stagingBytes);
    if (staging_ == nullptr) return StatusNoMemory;
    stagingSize_ = plan.stagingBytes;
    FillDirectory(request, plan, staging_);
    if (job_.pageCount == 0) job_.lastPageLinkOffset = plan.nextPointField;

    status = WritePageFile(plan);
    ReleaseStaging();
    if (status != StatusOk) return status;

    ResetCoder(g4_);  // every page starts from an all-white reference line
    job_.codedStripBytes = 0;
    job_.bandCount = 0;
    job_.Save(job_values::kBegunPage);
    return StatusOk;
}

PluginStatus TiffPageWriter::LocateLaterPage(uint32_t* directoryOffset) {
    PluginStatus status = file_.OpenForRead(target_->path);
    if (status != StatusOk) return status;
    ChainEnd end;
    status = FindChainEnd(file_, job_.byteOrder, &end);
    file_.Close();
    if (status != StatusOk) return status;
    if (end.appendOffset >= kOffsetLimit) return StatusWriteFailed;
    *directoryOffset = static_cast<uint32_t>(end.appendOffset);
    job_.lastPageLinkOffset = end.nextField;
    return StatusOk;
}

PluginStatus TiffPageWriter::WritePageFile(const PagePlan& plan) {
    // A page begun and never ended is abandoned by the new one: its file
    // would otherwise stay in the temp directory for good.
    if (ReadPageFilePath()) FileHandle::RemoveFile(job_.pageFilePath);
    if (!NamePageTempFile(job_.pageFilePath)) return StatusCreateFailed;
    // Named at once, not only once the page is begun: a host killed while
    // the directory is written leaves a file that the next job can find.
    job_.Save(JobValue::PageFilePath);
    PluginStatus status = file_.CreateForWrite(job_.pageFilePath);
    if (status != StatusOk) {
        FileHandle::RemoveFile(job_.pageFilePath);
        return status;
    }
    TiffHeader header{HeaderByteOrder(job_.byteOrder), kTiffMagic, kFirstDirectoryOffset};
    StagedDirectory directory{staging_, stagingSize_, job_.directoryEntryCount, plan.entryBase};
    status = WriteDirectory(file_, directory, job_.pageCount == 0 ? &header : nullptr, job_.byteOrder,
                            job_.pageFilePath);
    if (status == StatusOk && !HasRoom(FreeSpace(job_.pageFilePath), plan.pageBytes)) status = StatusDiskFull;
    if (status == StatusOk) status = file_.Close();
    if (status != StatusOk) {
        if (file_.IsOpen()) file_.Close();
        FileHandle::RemoveFile(job_.pageFilePath);
    }
    return status;
}
