// The start of a page: its directory laid out for the place where the page
// will land in the output file, written into a fresh page file.
#include "memory/global_block.h"
#include "page/job_file_records.h"
#include "page/page_writer.h"
#include "tiff/byte_order.h"
#include "tiff/directory_layout.h"
#include "tiff/directory_writer.h"
#include "tiff/file_header.h"
#include "tiff/image_format.h"
#include "tiff/page_chain.h"

PluginStatus PageWriter::Begin(const PageDescription& page, const char* outputPath) {
    begunPageFileBytes_ = 0;
    begunOutputBytes_ = UINT64_MAX;
    job_.directoryEntryCount = 0;
    job_.codedStripBytes = 0;
    job_.Load(JobValue::OutputEndOffset);
    if (FindLayout(job_.imageFormat) == nullptr) return StatusUnsupportedImage;
    if (page.width == 0 || page.height == 0) return StatusBadRecord;

    // A later page lands where the output file really ends, whatever the
    // pages before it predicted, and is of the file's flavour; a file's
    // first page is of the job's setting.
    TiffFlavour flavour = TiffFlavour::Classic;
    uint64_t directoryOffset = 0;
    if (job_.pageCount > 0) {
        PluginStatus status = LocateLaterPage(outputPath, &directoryOffset, &flavour);
        if (status != StatusOk) return status;
    } else {
        flavour = SettingsFlavour();
        directoryOffset = FrameOf(flavour).headerBytes;
    }
    begunFlavour_ = flavour;
    const int32_t compression = PageCompression(job_.imageFormat, job_.compression, job_.colorCompression);
    if (coders_.For(compression).DirectoryFollowsStrips())
        return BeginTrailingPage(page, {directoryOffset, flavour}, compression);
    PageGeometry geometry{page.width, page.height, page.xResolution, page.yResolution};
    LayoutRequest request{job_.imageFormat, job_.compression,      true,   job_.pageCount, directoryOffset,
                          geometry,         job_.colorCompression, flavour};
    PagePlan plan;
    PluginStatus status = NoteClassicLimit(PlanPage(request, &plan), request);
    if (status != StatusOk) return status;
    job_.directoryEntryCount = plan.entryCount;
    job_.codedStripBytes = static_cast<uint32_t>(plan.stripBytes);
    job_.outputEndOffset = plan.endOffset;

    // One block: the directory as laid out (machine order), then room for
    // its bytes as the file holds them.
    const uint32_t serializedCapacity = FrameOf(flavour).headerBytes + plan.blockBytes;
    GlobalBlock directoryBlock(size_t{plan.stagingBytes} + serializedCapacity);
    if (directoryBlock.get() == nullptr) return StatusNoMemory;
    uint8_t* staging = directoryBlock.get();
    FillDirectory(request, plan, staging);
    if (job_.pageCount == 0) job_.nextDirectoryField = plan.nextDirectoryField;

    status = WritePageFile(plan, staging, staging + plan.stagingBytes, serializedCapacity);
    if (status != StatusOk) return status;

    coders_.ResetAll();  // every page starts afresh: Group 4 from an all-white reference line
    return SaveBegunPage();
}

// A page whose directory follows its strips (LZW, Deflate, PackBits, JPEG):
// its file holds the header (on a file's first page, its first-directory
// offset still 0) and then the strips as they are coded. Its free-space and
// size checks ask for the page as if it were uncompressed, as for the other
// coded pages.
PluginStatus PageWriter::BeginTrailingPage(const PageDescription& page, PageLanding landing, int32_t compression) {
    PageGeometry geometry{page.width, page.height, page.xResolution, page.yResolution};
    LayoutRequest request{job_.imageFormat, job_.compression, true,           job_.pageCount, landing.offset,
                          geometry,         CompressionNone,  landing.flavour};
    PagePlan plan;
    PluginStatus status = NoteClassicLimit(PlanPage(request, &plan), request);
    if (status != StatusOk) return status;
    job_.outputEndOffset = plan.endOffset;
    if (job_.pageCount == 0) job_.nextDirectoryField = 0;  // known once the directory is laid out
    const bool jpeg = compression == CompressionJpeg;
    if (jpeg &&
        (!job_.Load(JobValue::JpegQuality) || job_.jpegQuality < kMinJpegQuality || job_.jpegQuality > kMaxJpegQuality))
        job_.jpegQuality = kDefaultJpegQuality;
    // A page the coder cannot take is refused before any file is made.
    coders_.ResetAll();
    status =
        coders_.For(compression).BeginPage({job_.imageFormat, page.width, job_.jpegQuality, &pageFile_.stripCounts()});
    if (status != StatusOk) return status;

    if (ReadPageFilePath()) pageFile_.Discard();  // a page begun and never ended is abandoned
    JobFileRecord record = JobFileRecord::PageFile(job_);
    status = pageFile_.Create(record, job_.pageFilePath);
    if (status != StatusOk) return status;
    const TiffFrame& frame = FrameOf(landing.flavour);
    uint8_t header[kBigFrame.headerBytes] = {};
    const uint32_t headerBytes = job_.pageCount == 0 ? frame.headerBytes : 0;
    EncodeHeader(header, HeaderFor(job_.byteOrder, landing.flavour), 0);  // pointed at the directory at the end
    if (!RoomOrUnknown(FreeSpace(job_.pageFilePath), plan.pageBytes)) status = NoRoomOn(job_.pageFilePath, true);
    if (status == StatusOk && headerBytes > 0) status = pageFile_.file().Write(headerBytes, header);
    if (status == StatusOk) status = pageFile_.Close();
    if (status == StatusOk) {
        begunPageFileBytes_ = headerBytes;
        const uint64_t firstStrip = job_.pageCount == 0 ? frame.headerBytes : landing.offset;
        pageFile_.BeginTrailingPage({job_.byteOrder, compression, page.width, page.height, 0, headerBytes, 0,
                                     firstStrip, 0, 0, landing.flavour},
                                    job_.pageCount, job_.imageFormat, page.xResolution, page.yResolution);
    }
    if (status != StatusOk) {
        pageFile_.Discard();
        return status;
    }
    return SaveBegunPage();
}

PluginStatus PageWriter::LocateLaterPage(const char* outputPath, uint64_t* directoryOffset, TiffFlavour* flavour) {
    PluginStatus status = output_.OpenForRead(outputPath);
    if (status != StatusOk) return status;
    ChainEnd end;
    status = FindOwnChainEnd(&end);
    output_.Close();
    if (status != StatusOk) return status;
    begunOutputBytes_ = end.fileSize;
    if (end.appendOffset >= FrameOf(end.flavour).offsetLimit) {
        if (end.flavour == TiffFlavour::Classic) note_ = FailureNote::ClassicFileFull;
        return StatusWriteFailed;
    }
    *directoryOffset = end.appendOffset;
    *flavour = end.flavour;
    job_.nextDirectoryField = end.nextDirectoryField;
    return StatusOk;
}

TiffFlavour PageWriter::SettingsFlavour() {
    job_.fileKind = kDefaultFileKind;
    job_.Load(JobValue::FileKind);
    return job_.fileKind == FileKindBigTiff ? TiffFlavour::Big : TiffFlavour::Classic;
}

// A page refused because a classic file cannot hold it, where a BigTIFF
// file could: the message says so.
PluginStatus PageWriter::NoteClassicLimit(PluginStatus status, const LayoutRequest& request) {
    if (status != StatusWriteFailed || request.flavour != TiffFlavour::Classic) return status;
    LayoutRequest big = request;
    big.flavour = TiffFlavour::Big;
    PagePlan plan;
    if (PlanPage(big, &plan) == StatusOk) note_ = FailureNote::ClassicFileFull;
    return status;
}

PluginStatus PageWriter::WritePageFile(const PagePlan& plan, const uint8_t* staging, uint8_t* serialized,
                                       uint32_t capacity) {
    // A page begun and never ended is abandoned by the new one: its file
    // would otherwise stay in the temp directory for good.
    if (ReadPageFilePath()) pageFile_.Discard();
    // Named before it is made, not only once the page is begun: a host
    // killed while the directory is written leaves a file that the next job
    // can find.
    JobFileRecord record = JobFileRecord::PageFile(job_);
    PluginStatus status = pageFile_.Create(record, job_.pageFilePath);
    if (status != StatusOk) return status;
    TiffHeader header = HeaderFor(job_.byteOrder, plan.flavour);
    StagedDirectory directory{staging, plan.stagingBytes, plan.entryCount, plan.entryBase, plan.flavour};
    uint32_t directoryBytes = 0;
    status = SerializeDirectory(directory, job_.pageCount == 0 ? &header : nullptr, job_.byteOrder, serialized,
                                capacity, &directoryBytes);
    // Room for the whole page is asked for before its first byte is written.
    if (status == StatusOk && !RoomOrUnknown(FreeSpace(job_.pageFilePath), plan.pageBytes))
        status = NoRoomOn(job_.pageFilePath, true);
    if (status == StatusOk) status = pageFile_.file().Write(directoryBytes, serialized);
    if (status == StatusOk) status = pageFile_.Close();
    if (status == StatusOk) begunPageFileBytes_ = directoryBytes;
    if (status != StatusOk) pageFile_.Discard();
    return status;
}

// The output file and the page together must stay below the offset limit
// of the file's flavour. Both were measured as the page was begun, the
// output while the host holds it for the job.
PluginStatus PageWriter::CheckLaterPageFits(const char* outputPath) {
    if (!ReadPageFilePath()) return StatusBadSequence;
    const uint64_t largest = LargestFileSize(begunFlavour_);
    PluginStatus status = begunOutputBytes_ != UINT64_MAX
                              ? FileHandle::CheckCombinedSize(begunPageFileBytes_, begunOutputBytes_, largest)
                              : FileHandle::CheckCombinedSize(begunPageFileBytes_, outputPath, largest);
    if (status == StatusWriteFailed && begunFlavour_ == TiffFlavour::Classic) note_ = FailureNote::ClassicFileFull;
    if (status != StatusOk) pageFile_.Discard();
    return status;
}

// The page begun, with no band or code yet, saved; a page file the registry
// cannot name goes at once.
PluginStatus PageWriter::SaveBegunPage() {
    job_.codedStripBytes = 0;
    job_.bandCount = 0;
    if (!job_.Save(job_values::kBegunPage)) {
        pageFile_.Discard();
        return StatusStateUnavailable;
    }
    return StatusOk;
}
