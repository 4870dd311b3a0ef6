// The page engine: one object that runs the pages of a job from their
// preparation to their commit, over descriptions the plug-in owns (the
// page's size and resolution, each band's rows, the palette's colours),
// never the host's records. entry/ binds the records to those
// descriptions, reads the values each command starts from, checks the job's
// owner and phase, and calls it.
//
// The engine keeps the job's values in the JobState it is given, and saves
// and deletes them in the order the job's safety needs: a page file is
// named before it is made, a page's count is saved before the page is
// committed. Its coders (page_coders.h) and its page file (page_file.h) live
// as long as it does, from command to command.
#pragma once

#include <cstdint>

#include "output/file_handle.h"
#include "output/volume_root.h"
#include "page/failure_note.h"
#include "page/page_coders.h"
#include "page/page_file.h"
#include "state/job_state.h"
#include "tiff/color_map.h"
#include "tiff/page_chain.h"

struct PagePlan;
struct PageFileFacts;
struct LayoutRequest;

// Where a page lands in the output file, and the file's flavour.
struct PageLanding {
    uint64_t offset;
    TiffFlavour flavour;
};

// A page as BeginPage describes it; its format is the job's, classified when
// it was prepared.
struct PageDescription {
    uint32_t width;
    uint32_t height;  // as announced: the page holds the rows it is given
    uint32_t xResolution;
    uint32_t yResolution;
};

class PageWriter {
public:
    explicit PageWriter(JobState& job) : job_(job) {}
    PageWriter(const PageWriter&) = delete;
    PageWriter& operator=(const PageWriter&) = delete;

    // PreparePage, for the job's imageFormat: a new file, or the pages of
    // the file at `outputPath` continued. An open page is abandoned.
    PluginStatus Prepare(bool continueFile, const char* outputPath);
    // BeginPage: the page's directory laid out where it will land in the
    // output file, written into a fresh page file.
    PluginStatus Begin(const PageDescription& page, const char* outputPath);
    // After Begin of a later page: the output file and the page together
    // stay below the offset limit of the file's flavour; the page is given
    // up otherwise.
    PluginStatus CheckLaterPageFits(const char* outputPath);
    // WritePalette of a palette page before its first band.
    PluginStatus WritePalette(const PaletteColors& palette);
    // WriteBand: `band.pixels` is where the host's band starts.
    PluginStatus WriteBand(const BandRows& band);
    // EndPage: the page file completed and committed to `outputPath`.
    PluginStatus End(const char* outputPath);
    // The job's end: the coders' memory goes, and the output is no longer
    // known; ReleaseJobFiles then removes what the job left, when the job
    // is this process's to end.
    void ForgetJob();
    // The page file, a committed page's file that could not be deleted, and
    // the values of the prepared or open page.
    PluginStatus ReleaseJobFiles();

    // Reads "TempFile" and its identity; false when there is none or it is
    // not a page file.
    bool ReadPageFilePath();
    // A staged copy that a killed job left beside the output file, removed
    // when it proves to be the one it made.
    void RemoveStrayStagedFile();

    // The volume found full by the last command that failed with
    // StatusDiskFull.
    const FullVolume& fullVolume() const { return fullVolume_; }
    // What the message of the last command that failed says beyond its
    // status; each operation starts without one.
    FailureNote failureNote() const { return note_; }
    void ClearFailureNote() { note_ = FailureNote::None; }

private:
    // StatusDiskFull, remembering the volume of `path` for the message.
    PluginStatus NoRoomOn(const char* path, bool temporaryFolder);
    void KnowOutput(uint64_t size, TiffFlavour flavour) {
        committedOutputSize_ = size == UINT64_MAX ? 0 : size;
        committedByteOrder_ = job_.byteOrder;
        committedFlavour_ = flavour;
    }
    // The flavour the job's settings ask of a new file ("BigTIFF").
    TiffFlavour SettingsFlavour();
    // A file continued must be of the flavour the settings ask: it is never
    // converted. StatusNotAppendable, noted, for the other one.
    PluginStatus CheckFileFlavour(TiffFlavour fileFlavour);
    PluginStatus NoteClassicLimit(PluginStatus status, const LayoutRequest& request);
    // Page preparation: the pages already in a file that is continued.
    PluginStatus CountPagesInOutput(const char* outputPath);
    PluginStatus ReclaimUnfinishedAppend(const char* outputPath);
    // Fills in (does not save) the record of an append to the output file
    // open in output_, now `base` bytes long.
    PluginStatus FillAppendRecord(uint64_t base);
    // The end of the output's chain, open in output_: at once when the file
    // is as this job left it, else by a walk of the whole chain.
    PluginStatus FindOwnChainEnd(ChainEnd* end);
    // Page begin: where a later page lands, and the page file itself.
    PluginStatus LocateLaterPage(const char* outputPath, uint64_t* directoryOffset, TiffFlavour* flavour);
    PluginStatus BeginTrailingPage(const PageDescription& page, PageLanding landing, int32_t compression);
    PluginStatus WritePageFile(const PagePlan& plan, const uint8_t* staging, uint8_t* serialized, uint32_t capacity);
    PluginStatus SaveBegunPage();
    // Bands and palette.
    PluginStatus CheckBandRecord(const BandRows& band) const;
    // Reads the open page file's directory and takes its byte order and
    // compression: a page ends as it was begun.
    PluginStatus AdoptPageDirectory();
    PluginStatus CheckBandFitsPage(const BandRows& band, uint64_t* rowsAfter);
    PluginStatus CheckPageCanGrow(const BandRows& band, uint32_t height, uint64_t rowsAfter);
    // The open page's Compression tag, from the job's settings.
    int32_t PageCompressionOfJob() const;
    // The coder of the open page's compression.
    PageCoder& Coder();
    // The type of the open page's StripByteCounts: LONG, or LONG8 in a
    // BigTIFF file.
    uint16_t StripSizeType() const { return FrameOf(pageFile_.directory().flavour).offsetType; }
    // Rows in the strip of the open page file of `pageFileSize` bytes.
    uint64_t RowsInStrip(uint32_t width, uint64_t pageFileSize);
    PluginStatus AppendBand(const BandRows& band);
    PluginStatus WriteColorMap(const PaletteColors& palette);
    // Page end: completing the page file and committing it.
    PluginStatus FinishPageFile(PageFileFacts* facts);
    PluginStatus FinishStrip(const PageFileFacts& facts);
    PluginStatus RewriteHeight(PageFileFacts* facts, uint32_t width, uint32_t rows);
    PluginStatus TrimAndPadStrip(PageFileFacts* facts);
    // A page whose directory follows its strips: the directory laid out by
    // the coder for `rows` rows, after the padded strips.
    PluginStatus WriteTrailingDirectory(PageFileFacts* facts, uint32_t rows);
    // Each saves the count the page commits before the commit (*countSaved
    // once that save is tried) and commits the page file.
    PluginStatus CommitAsFirstPage(const char* outputPath, uint64_t nextDirectoryField, bool* countSaved);
    // `landing`: where the page was laid out to land, at the chain's end;
    // `directoryOffset`: its directory, which the previous page is linked to.
    PluginStatus AppendLaterPage(const char* outputPath, uint64_t landing, uint64_t directoryOffset,
                                 uint64_t nextDirectoryField, bool* countSaved);
    // Stores the page count and link field without changing the job's own,
    // with the append record when asked.
    bool SaveCommittedPages(uint32_t pageCount, uint64_t nextDirectoryField, bool withAppendRecord);
    // Deletes the page file of a page begun and not ended, and the open
    // page's values.
    bool DropOpenPage();

    JobState& job_;
    FileHandle output_;  // the output file, while a command reads or appends to it
    PageCoders coders_;
    // The file of the page being written, named by "TempFile".
    PageFile pageFile_{job_.pageFilePath, job_.pageFileIdentity};
    FullVolume fullVolume_;
    FailureNote note_ = FailureNote::None;
    // What the last Begin measured: the page file it wrote, and the output
    // file it located a later page in (UINT64_MAX when it did not).
    uint64_t begunPageFileBytes_ = 0;
    uint64_t begunOutputBytes_ = UINT64_MAX;
    TiffFlavour begunFlavour_ = TiffFlavour::Classic;
    // The output file's size (0: not known) and byte order as this job left
    // it at its last commit, or as it found it when it took over a file.
    // With them a later page needs no walk of the file's chain (see
    // FindOwnChainEnd).
    uint64_t committedOutputSize_ = 0;
    int32_t committedByteOrder_ = 0;
    TiffFlavour committedFlavour_ = TiffFlavour::Classic;
};
