// The end of a page: the page file completed (Group 4 tail and sizes, strip
// trimmed to its declared length and padded to a word boundary) and then
// committed to the output file.
#include <cstring>

#include "output/page_commit.h"
#include "page/job_file_records.h"
#include "page/page_writer.h"
#include "page/strip_sink.h"
#include "platform/win32.h"
#include "tiff/byte_order.h"
#include "tiff/directory_entry.h"
#include "tiff/directory_layout.h"
#include "tiff/directory_writer.h"
#include "tiff/file_header.h"
#include "tiff/image_format.h"
#include "tiff/page_chain.h"

// The page file as its end finds it: its size, and the strip's size as the
// directory will declare it.
struct PageFileFacts {
    uint64_t fileSize;
    uint32_t declaredStrip;
    uint64_t directoryOffset;     // where the page's directory lands in the output file
    uint64_t nextDirectoryField;  // where its next-directory field lands
};

namespace {

constexpr uint32_t kImageLengthIndex = entry_index::kImageLength;
constexpr uint32_t kRowsPerStripIndex = entry_index::kRowsPerStrip;
constexpr uint32_t kStripByteCountsIndex = entry_index::kStripByteCounts;

}  // namespace

PluginStatus PageWriter::End(const char* outputPath) {
    PageFileFacts facts{};
    PluginStatus status = FinishPageFile(&facts);
    if (status == StatusBadSequence) {
        pageFile_.Close();  // not this job's page file: it stays as it is
        return status;
    }
    if (status == StatusEmptyPage) {
        pageFile_.Close();  // the output stays as it was, and the job may go on
        return DropOpenPage() ? status : PluginStatus{StatusStateUnavailable};
    }
    // The page file is measured already: it needs no second opening, whose
    // failure would read as a full disk.
    if (status == StatusOk && !RoomOrUnknown(FreeSpace(outputPath), facts.fileSize)) status = StatusDiskFull;
    // The registry holds the job as it is once the page is committed before
    // the commit, so that a committed page is never reported as a failure.
    const PageDirectory& page = pageFile_.directory();
    const uint64_t nextDirectoryField = facts.nextDirectoryField;
    bool countSaved = false;
    if (status == StatusOk)
        status = job_.pageCount > 0 ? AppendLaterPage(outputPath, page.directoryOffset, facts.directoryOffset,
                                                      nextDirectoryField, &countSaved)
                                    : CommitAsFirstPage(outputPath, nextDirectoryField, &countSaved);
    if (status != StatusOk) {
        committedOutputSize_ = 0;  // the next page walks the file's chain again
        if (countSaved) (void)SaveCommittedPages(job_.pageCount, job_.nextDirectoryField, false);
        if (status == StatusDiskFull) NoRoomOn(outputPath, false);
        pageFile_.Discard();
        return status;
    }

    job_.nextDirectoryField = nextDirectoryField;
    ++job_.pageCount;
    pageFile_.DropCommitted();
    // Values these deletes leave behind mislead no one: TempFile names a
    // file that is gone, the next page begins with LoopCount 0, and a job
    // that finds the append record sees the page linked and drops it.
    (void)job_.Delete(job_values::kCommittedPageLeftovers);
    return StatusOk;
}

bool PageWriter::SaveCommittedPages(uint32_t pageCount, uint64_t nextDirectoryField, bool withAppendRecord) {
    const uint32_t keptCount = job_.pageCount;
    const uint64_t keptField = job_.nextDirectoryField;
    job_.pageCount = pageCount;
    job_.nextDirectoryField = nextDirectoryField;
    const bool saved =
        withAppendRecord ? job_.Save(job_values::kCommittedPagesAndAppend) : job_.Save(job_values::kCommittedPages);
    job_.pageCount = keptCount;
    job_.nextDirectoryField = keptField;
    return saved;
}

PluginStatus PageWriter::FinishPageFile(PageFileFacts* facts) {
    PluginStatus status = pageFile_.Open();
    if (status == StatusOk) status = AdoptPageDirectory();
    const PageDirectory& page = pageFile_.directory();
    if (status == StatusOk) {
        facts->fileSize = pageFile_.file().Size64();
        facts->declaredStrip = page.declaredStrip;
        if (facts->fileSize == UINT64_MAX) status = StatusReadFailed;
    }
    if (status == StatusOk && facts->fileSize < page.dataStart()) status = StatusBadSequence;
    // The page keeps the rows the host delivered, fewer or more than it was
    // begun with (a scanner may not know a page's length); its directory then
    // says so. A page without a single row is no page.
    uint64_t rows = status == StatusOk ? RowsInStrip(page.width, facts->fileSize) : 0;
    if (status == StatusOk && rows == 0) status = StatusEmptyPage;
    if (status == StatusOk) status = FinishStrip(*facts);
    const bool trailing = pageFile_.trailingDirectory();
    if (status == StatusOk && !trailing && rows != page.height)
        status = RewriteHeight(facts, page.width, static_cast<uint32_t>(rows));  // below 2^32: bands are checked
    if (status == StatusOk) status = TrimAndPadStrip(facts);
    facts->directoryOffset = page.directoryOffset;
    facts->nextDirectoryField = NextDirectoryField(page.directoryOffset, page.entryCount, page.flavour);
    if (status == StatusOk && trailing) status = WriteTrailingDirectory(facts, static_cast<uint32_t>(rows));
    // Left open on success: the commit reads the page from this handle.
    return status;
}

// Appends the end of the strip's code and, for a strip sized by its code,
// writes that size into the directory.
PluginStatus PageWriter::FinishStrip(const PageFileFacts& facts) {
    PageCoder& coder = Coder();
    // A stream is this coder's to end, or no one's.
    const uint64_t dataStart = pageFile_.directory().dataStart();
    if (!coder.Continues(facts.fileSize - dataStart)) return StatusBadSequence;
    StripSink pageFile = StripSink::AtEnd(pageFile_.file());  // the strip's size is measured below
    PluginStatus status = coder.Finish(pageFile);
    if (status != StatusOk || !coder.SizedByCode()) {
        coder.Reset();
        return status;
    }
    uint64_t size = pageFile_.file().Size64();
    if (size == UINT64_MAX || size < dataStart) return StatusReadFailed;
    if (size - dataStart >= kOffsetLimit) return StatusWriteFailed;
    job_.codedStripBytes = static_cast<uint32_t>(size - dataStart);
    if (pageFile_.trailingDirectory()) return StatusOk;  // its sizes are in the directory written after it
    return pageFile_.Rewrite(kStripByteCountsIndex, {TagStripByteCounts, StripSizeType(), 1, job_.codedStripBytes});
}

// A page of another height than it was begun with: ImageLength and
// RowsPerStrip (SHORT or LONG, as the new height needs; the entry's size is
// the same) and an uncompressed strip's size.
PluginStatus PageWriter::RewriteHeight(PageFileFacts* facts, uint32_t width, uint32_t rows) {
    uint16_t type = DimensionType(rows);
    PluginStatus status = pageFile_.Rewrite(kImageLengthIndex, {TagImageLength, type, 1, rows});
    if (status == StatusOk) status = pageFile_.Rewrite(kRowsPerStripIndex, {TagRowsPerStrip, type, 1, rows});
    if (status != StatusOk || Coder().SizedByCode()) return status;
    uint64_t strip = StripBytes(job_.imageFormat, width, rows);
    if (strip >= kOffsetLimit) return StatusWriteFailed;
    facts->declaredStrip = static_cast<uint32_t>(strip);
    return pageFile_.Rewrite(kStripByteCountsIndex, {TagStripByteCounts, StripSizeType(), 1, facts->declaredStrip});
}

// The page file ends exactly with the declared strip, padded to an even end
// in the output file so that the next page starts on a word boundary.
PluginStatus PageWriter::TrimAndPadStrip(PageFileFacts* facts) {
    const PageDirectory& page = pageFile_.directory();
    FileHandle& file = pageFile_.file();
    uint64_t dataStart = page.dataStart();
    uint32_t strip = Coder().SizedByCode() ? job_.codedStripBytes : facts->declaredStrip;
    facts->declaredStrip = strip;
    uint64_t stripEnd = dataStart + strip;
    uint64_t size = file.Size64();
    if (size == UINT64_MAX) return StatusReadFailed;
    if (size < stripEnd) return StatusBadSequence;  // bands missing: the page is not complete

    // Rows beyond the page's declared height have no place in the file.
    PluginStatus status = size > stripEnd ? file.Truncate(stripEnd) : file.SeekToEnd();
    uint64_t landing = page.headerBytes != 0 ? 0 : page.directoryOffset;
    facts->fileSize = stripEnd;
    if (status == StatusOk && (landing + stripEnd) % 2 != 0) {
        const uint8_t pad = 0;
        status = file.Write(1, &pad);
        ++facts->fileSize;
    }
    return status;
}

PluginStatus PageWriter::WriteTrailingDirectory(PageFileFacts* facts, uint32_t rows) {
    const PageDirectory& page = pageFile_.directory();
    const TrailingDirectoryRequest request{job_.imageFormat,
                                           page.byteOrder,
                                           job_.pageCount,
                                           page.directoryOffset,
                                           {page.width, rows, pageFile_.xResolution(), pageFile_.yResolution()},
                                           pageFile_.colorMap(),
                                           page.flavour};
    PageCoder& coder = Coder();
    TrailingDirectory directory{};
    PluginStatus status = coder.LayOutDirectory(request, &directory);
    // The padded strips end where the directory goes.
    const uint64_t landing = page.headerBytes != 0 ? 0 : page.directoryOffset;
    if (status == StatusOk && landing + facts->fileSize != directory.plan.directoryOffset) status = StatusBadSequence;
    FileHandle& file = pageFile_.file();
    if (status == StatusOk) status = file.Write(directory.size, directory.bytes);
    if (status == StatusOk && page.headerBytes != 0) {
        const TiffFrame& frame = FrameOf(page.flavour);
        uint8_t first[8];
        PutUnsigned(first, directory.plan.directoryOffset, frame.nextDirectoryBytes, page.byteOrder);
        status = file.WriteAt(FirstDirectoryField(page.flavour), frame.nextDirectoryBytes, first);
    }
    if (status == StatusOk) {
        facts->fileSize += directory.size;
        facts->directoryOffset = directory.plan.directoryOffset;
        facts->nextDirectoryField = directory.plan.nextDirectoryField;
    }
    coder.Reset();  // the page's code and directory are in its file
    return status;
}

// The first page replaces the output file with a copy staged beside it,
// recorded in the job's key while it exists.
PluginStatus PageWriter::CommitAsFirstPage(const char* outputPath, uint64_t nextDirectoryField, bool* countSaved) {
    *countSaved = true;  // even a save that fails may have stored a part
    if (!SaveCommittedPages(1, nextDirectoryField, false)) return StatusStateUnavailable;
    FileHandle& page = pageFile_.file();  // open since it was completed
    JobFileRecord staging = JobFileRecord::StagedFile(job_);
    const uint64_t size = page.Size64();
    // Room for the whole page was found as the page ended.
    PluginStatus status = CommitFirstPage(page, outputPath, staging, true);
    if (status == StatusOk) KnowOutput(size, pageFile_.directory().flavour);
    page.CloseForDeletion();
    return status;
}

PluginStatus PageWriter::AppendLaterPage(const char* outputPath, uint64_t landing, uint64_t directoryOffset,
                                         uint64_t nextDirectoryField, bool* countSaved) {
    FileHandle& page = pageFile_.file();  // open since it was completed
    PluginStatus status = output_.OpenForUpdate(outputPath);
    if (status != StatusOk) return status;
    ChainEnd end;
    status = FindOwnChainEnd(&end);
    // The page was laid out for the end of the output file, and the chain's
    // end must still be where the page will be linked.
    const TiffFlavour flavour = pageFile_.directory().flavour;
    if (status == StatusOk &&
        (end.appendOffset != landing || end.nextDirectoryField != job_.nextDirectoryField || end.flavour != flavour))
        status = StatusNotAppendable;
    // The page's count and the record of its append are saved in one commit.
    if (status == StatusOk) status = FillAppendRecord(end.fileSize);
    *countSaved = status == StatusOk;  // even a save that fails may have stored a part
    if (status == StatusOk && !SaveCommittedPages(job_.pageCount + 1, nextDirectoryField, true))
        status = StatusStateUnavailable;
    if (status == StatusOk) {
        const TiffFrame& frame = FrameOf(flavour);
        PageLink link{job_.nextDirectoryField, {}, frame.nextDirectoryBytes, LargestFileSize(flavour)};
        PutUnsigned(link.bytes, directoryOffset, frame.nextDirectoryBytes, job_.byteOrder);
        // Room for the whole page was found as the page ended.
        status = AppendAndLink(output_, page, outputPath, end.fileSize, link, true);
        // Cut back to its old size, the file holds nothing of the append.
        if (status != StatusOk) (void)job_.Delete(job_values::kAppendUnderWay);
    }
    if (status == StatusOk) KnowOutput(output_.Size64(), flavour);
    page.CloseForDeletion();
    // Once appended, flushed and linked the page is committed, and a close
    // that fails cannot take it back: reporting a failure would make the
    // host send the page again. The handle goes at the next open or the
    // job's end.
    output_.Close();
    return status;
}
