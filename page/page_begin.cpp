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
    // pages before it predicted.
    uint32_t directoryOffset = kFirstDirectoryOffset;
    if (job_.pageCount > 0) {
        PluginStatus status = LocateLaterPage(outputPath, &directoryOffset);
        if (status != StatusOk) return status;
    }
    const int32_t compression = PageCompression(job_.imageFormat, job_.compression, job_.colorCompression);
    if (coders_.For(compression).DirectoryFollowsStrips()) return BeginTrailingPage(page, directoryOffset, compression);
    PageGeometry geometry{page.width, page.height, page.xResolution, page.yResolution};
    LayoutRequest request{job_.imageFormat, job_.compression,     true, job_.pageCount, directoryOffset,
                          geometry,         job_.colorCompression};
    PagePlan plan;
    PluginStatus status = PlanPage(request, &plan);
    if (status != StatusOk) return status;
    job_.directoryEntryCount = plan.entryCount;
    job_.codedStripBytes = static_cast<uint32_t>(plan.stripBytes);
    job_.outputEndOffset = plan.endOffset;

    // One block: the directory as laid out (machine order), then room for
    // its bytes as the file holds them.
    const uint32_t serializedCapacity = kHeaderBytes + plan.blockBytes;
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
PluginStatus PageWriter::BeginTrailingPage(const PageDescription& page, uint32_t landing, int32_t compression) {
    PageGeometry geometry{page.width, page.height, page.xResolution, page.yResolution};
    LayoutRequest request{job_.imageFormat, job_.compression, true, job_.pageCount, landing, geometry, CompressionNone};
    PagePlan plan;
    PluginStatus status = PlanPage(request, &plan);
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
    uint8_t header[kHeaderBytes] = {};
    const uint32_t headerBytes = job_.pageCount == 0 ? kHeaderBytes : 0;
    const TiffHeader mark = HeaderFor(job_.byteOrder);
    PutShort(header, mark.byteOrder, ByteOrderIntel);  // "II" or "MM" either way
    PutShort(header + 2, mark.magic, job_.byteOrder);
    if (!RoomOrUnknown(FreeSpace(job_.pageFilePath), plan.pageBytes)) status = NoRoomOn(job_.pageFilePath, true);
    if (status == StatusOk && headerBytes > 0) status = pageFile_.file().Write(headerBytes, header);
    if (status == StatusOk) status = pageFile_.Close();
    if (status == StatusOk) {
        begunPageFileBytes_ = headerBytes;
        const uint32_t firstStrip = job_.pageCount == 0 ? kFirstDirectoryOffset : landing;
        pageFile_.BeginTrailingPage(
            {job_.byteOrder, compression, page.width, page.height, 0, headerBytes, 0, firstStrip, 0, 0}, job_.pageCount,
            job_.imageFormat, page.xResolution, page.yResolution);
    }
    if (status != StatusOk) {
        pageFile_.Discard();
        return status;
    }
    return SaveBegunPage();
}

PluginStatus PageWriter::LocateLaterPage(const char* outputPath, uint32_t* directoryOffset) {
    PluginStatus status = output_.OpenForRead(outputPath);
    if (status != StatusOk) return status;
    ChainEnd end;
    status = FindOwnChainEnd(&end);
    output_.Close();
    if (status != StatusOk) return status;
    begunOutputBytes_ = end.fileSize;
    if (end.appendOffset >= kOffsetLimit) return StatusWriteFailed;
    *directoryOffset = static_cast<uint32_t>(end.appendOffset);
    job_.nextDirectoryField = end.nextDirectoryField;
    return StatusOk;
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
    TiffHeader header = HeaderFor(job_.byteOrder);
    StagedDirectory directory{staging, plan.stagingBytes, plan.entryCount, plan.entryBase};
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

// The output file and the page together must stay below the 32-bit offset
// limit. Both were measured as the page was begun, the output while the host
// holds it for the job.
PluginStatus PageWriter::CheckLaterPageFits(const char* outputPath) {
    if (!ReadPageFilePath()) return StatusBadSequence;
    PluginStatus status = begunOutputBytes_ != UINT64_MAX
                              ? FileHandle::CheckCombinedSize(begunPageFileBytes_, begunOutputBytes_)
                              : FileHandle::CheckCombinedSize(begunPageFileBytes_, outputPath);
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
