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
    state_.ReadInt(value_names::kFileType, &byteOrder_);
    state_.ReadInt(value_names::kCompression, &compression_);
    // No prepared page: the job has ended (or never begun) since the last one.
    if (!state_.ReadInt(value_names::kImageFormat, &imageFormat_)) return StatusBadSequence;
    directoryCount_ = 0;
    imageSize_ = 0;
    state_.ReadDword(value_names::kImageOffset, &imageOffset_);
    if (FindLayout(imageFormat_) == nullptr) return StatusUnsupportedImage;
    if (image_->width == 0 || image_->rows == 0) return StatusBadRecord;

    // A later page lands where the output file really ends, whatever the
    // pages before it predicted.
    uint32_t directoryOffset = kFirstDirectoryOffset;
    if (multiPage_ && pageCount_ > 0) {
        PluginStatus status = LocateLaterPage(&directoryOffset);
        if (status != StatusOk) return status;
    }
    LayoutRequest request{imageFormat_, compression_, multiPage_ != 0, pageCount_, directoryOffset,
                          {image_->width, image_->rows, image_->xResolution, image_->yResolution}};
    PagePlan plan;
    PluginStatus status = PlanPage(request, &plan);
    if (status != StatusOk) return status;
    directoryCount_ = plan.entryCount;
    imageSize_ = static_cast<uint32_t>(plan.stripBytes);
    if (multiPage_) imageOffset_ = plan.endOffset;

    staging_ = AllocateBlock(plan.stagingBytes);
    if (staging_ == nullptr) return StatusNoMemory;
    stagingSize_ = plan.stagingBytes;
    FillDirectory(request, plan, staging_);
    if (pageCount_ == 0) nextPoint_ = plan.nextPointField;

    status = WritePageFile(plan);
    ReleaseStaging();
    if (status != StatusOk) return status;

    ResetCoder(g4_);  // every page starts from an all-white reference line
    imageSize_ = 0;
    bandCount_ = 0;
    state_.WriteString(value_names::kTempFile, tempPath_);
    state_.WriteDword(value_names::kLoopCount, 0);
    state_.WriteDword(value_names::kImageSize, 0);
    state_.WriteDword(value_names::kNextPoint, nextPoint_);
    state_.WriteDword(value_names::kDirectoryCount, directoryCount_);
    state_.WriteDword(value_names::kImageOffset, imageOffset_);
    return StatusOk;
}

PluginStatus TiffPageWriter::LocateLaterPage(uint32_t* directoryOffset) {
    PluginStatus status = file_.OpenForRead(target_->path);
    if (status != StatusOk) return status;
    ChainEnd end;
    status = FindChainEnd(file_, byteOrder_, &end);
    file_.Close();
    if (status != StatusOk) return status;
    if (end.appendOffset >= kOffsetLimit) return StatusWriteFailed;
    *directoryOffset = static_cast<uint32_t>(end.appendOffset);
    nextPoint_ = end.nextField;
    return StatusOk;
}

PluginStatus TiffPageWriter::WritePageFile(const PagePlan& plan) {
    // A page begun and never ended is abandoned by the new one: its file
    // would otherwise stay in the temp directory for good.
    if (ReadPageFilePath()) FileHandle::RemoveFile(tempPath_);
    if (!NamePageTempFile(tempPath_)) return StatusCreateFailed;
    // Named at once, not only once the page is begun: a host killed while
    // the directory is written leaves a file that the next job can find.
    state_.WriteString(value_names::kTempFile, tempPath_);
    PluginStatus status = file_.CreateForWrite(tempPath_);
    if (status != StatusOk) {
        FileHandle::RemoveFile(tempPath_);
        return status;
    }
    TiffHeader header{HeaderByteOrder(byteOrder_), kTiffMagic, kFirstDirectoryOffset};
    StagedDirectory directory{staging_, stagingSize_, directoryCount_, plan.entryBase};
    status = WriteDirectory(file_, directory, pageCount_ == 0 ? &header : nullptr, byteOrder_, tempPath_);
    if (status == StatusOk && !HasRoom(FreeSpace(tempPath_), plan.pageBytes)) status = StatusDiskFull;
    if (status == StatusOk) status = file_.Close();
    if (status != StatusOk) {
        if (file_.IsOpen()) file_.Close();
        FileHandle::RemoveFile(tempPath_);
    }
    return status;
}
