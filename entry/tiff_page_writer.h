// The TIFF writing state and the page operations: prepare, begin, palette,
// band, end and job end. The user-facing slots do nothing at this level.
#pragma once

#include <cstdint>

#include "entry/job_owner.h"
#include "entry/plugin_base.h"
#include "entry/status_message.h"
#include "page/page_coders.h"
#include "page/page_file.h"
#include "tiff/byte_order.h"
#include "tiff/color_map.h"
#include "tiff/image_format.h"
#include "tiff/page_chain.h"

struct PagePlan;
struct PageFileFacts;

class TiffPageWriter : public PluginBase {
public:
    TiffPageWriter() = default;
    ~TiffPageWriter() override = default;

    PluginStatus Initialize() override { return StatusOk; }
    PluginStatus ShowSettings() override { return StatusOk; }
    PluginStatus ShowAbout() override { return StatusOk; }
    PluginStatus BeginPage() override;
    PluginStatus WritePalette() override;
    PluginStatus WriteBand() override;

    PluginStatus PreparePage();
    PluginStatus EndPage();
    PluginStatus EndJob();

    // The volume found full by the last command that failed with
    // StatusDiskFull.
    const FullVolume& fullVolume() const { return fullVolume_; }

protected:
    PluginStatus ClassifyImage();
    // At the job's end: the page file, a committed page's file that could
    // not be deleted, and the values of the prepared or open page.
    PluginStatus ReleaseJobFiles();

    PageCoders coders_;
    // The file of the page being written, named by "TempFile".
    PageFile pageFile_{job_.pageFilePath, job_.pageFileIdentity};
    FullVolume fullVolume_;
    // The output file's size (0: not known) and byte order as this job left
    // it at its last commit, or as it found it when it took over a file.
    // With them a later page needs no walk of the file's chain (see
    // FindOwnChainEnd).
    // What the last BeginPage measured: the page file it wrote, and the
    // output file it located a later page in (UINT64_MAX when it did not).
    uint64_t begunPageFileBytes_ = 0;
    uint64_t begunOutputBytes_ = UINT64_MAX;
    uint64_t committedOutputSize_ = 0;
    int32_t committedByteOrder_ = 0;
    void KnowOutput(uint64_t size) {
        committedOutputSize_ = size == UINT64_MAX ? 0 : size;
        committedByteOrder_ = job_.byteOrder;
    }

    // The job's owner (see job_owner.h): PreparePage claims the job for this
    // process, StatusJobInUse when another one still running holds it; the
    // other page commands refuse such a job without touching it.
    PluginStatus ClaimJob();
    bool HeldByAnotherProcess();
    // Reads "TempFile" and its identity; false when there is none or it is
    // not a page file.
    bool ReadPageFilePath();
    // StatusDiskFull, remembering the volume of `path` for the message.
    PluginStatus NoRoomOn(const char* path, bool temporaryFolder);

private:
    // A staged copy that a killed job left beside the output file, removed
    // when it proves to be the one it made.
    void RemoveStrayStagedFile();
    // Page preparation: the pages already in a file that is continued.
    PluginStatus CountPagesInOutput();
    PluginStatus ReclaimUnfinishedAppend();
    // Fills in (does not save) the record of an append to the output file
    // open in file_, now `base` bytes long.
    PluginStatus FillAppendRecord(uint64_t base);
    // The end of the output's chain, open in file_: at once when the file is
    // as this job left it, else by a walk of the whole chain.
    PluginStatus FindOwnChainEnd(ChainEnd* end);
    // Page begin: where a later page lands, and the page file itself.
    PluginStatus LocateLaterPage(uint32_t* directoryOffset);
    PluginStatus WritePageFile(const PagePlan& plan, const uint8_t* staging, uint8_t* serialized, uint32_t capacity);
    // Bands and palette.
    PluginStatus CheckBandRecord() const;
    // Reads the open page file's directory and takes its byte order and
    // compression: a page ends as it was begun.
    PluginStatus AdoptPageDirectory();
    PluginStatus CheckBandFitsPage(uint64_t* rowsAfter);
    PluginStatus CheckPageCanGrow(uint32_t height, uint64_t rowsAfter);
    // The open page's Compression tag, from the job's settings.
    int32_t PageCompressionOfJob() const;
    // The coder of the open page's compression.
    PageCoder& Coder();
    // Rows in the strip of the open page file of `pageFileSize` bytes.
    uint64_t RowsInStrip(uint32_t width, uint64_t pageFileSize);
    PluginStatus AppendBand();
    PluginStatus WriteColorMap();
    PaletteColors HostPalette() const;
    // Page end: completing the page file and committing it.
    PluginStatus FinishPageFile(PageFileFacts* facts);
    PluginStatus FinishStrip(const PageFileFacts& facts);
    PluginStatus RewriteHeight(PageFileFacts* facts, uint32_t width, uint32_t rows);
    PluginStatus TrimAndPadStrip(PageFileFacts* facts);
    // Each saves the count the page commits before the commit (*countSaved
    // once that save is tried) and commits the page file open in file_.
    PluginStatus CommitAsFirstPage(uint32_t nextDirectoryField, bool* countSaved);
    PluginStatus AppendLaterPage(uint32_t directoryOffset, uint32_t nextDirectoryField, bool* countSaved);
    // Stores the page count and link field without changing the job's own,
    // with the append record when asked.
    bool SaveCommittedPages(uint32_t pageCount, uint32_t nextDirectoryField, bool withAppendRecord);
    // Deletes the page file of a page begun and not ended, and the open
    // page's values.
    bool DropOpenPage();
};
