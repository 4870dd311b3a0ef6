// What a job is between commands: the values the page commands keep in the
// registry, under the names and types hosts and stored registries know.
//
// The job as a state machine
// --------------------------
// The host drives a job with the commands of entry/host_records.h. Between
// two commands the job is what the registry holds (the plug-in object keeps
// the last values it read or wrote, and a value absent from the registry
// leaves its field as it was):
//
//   no job       no "Page Count", "Next Point", "ImageFormat", "TempFile" or
//                "LoopCount" (the settings and the last page's "Image Offset",
//                "Image Size" and "Directory Count" may remain)
//   prepared     "ImageFormat" and "Page Count" set; no page file
//   page open    a page file named by "TempFile", "LoopCount" bands written
//                to it, and the page's layout values
//
//   command            may follow           reads                      leaves in the registry
//   0 Initialize       anything             File Type, Compression     nothing
//                                           (absent: the defaults)
//   1 Settings         anything             File Type, Compression     the settings dialog's File Type,
//                                           (after the dialog)         Compression and window position
//   2 PreparePage      anything; an open    TempFile; File Type when   ImageFormat, Page Count (the
//                      page is abandoned    a file is continued by an  file's own pages when it is
//                      (its file deleted)   object with no page yet    continued); Image Offset 8 for a
//                                                                      new file; an open page's TempFile
//                                                                      and LoopCount deleted
//   4 BeginPage        PreparePage, or      Page Count, File Type,     TempFile (named before the page
//                      EndPage (the same    Compression, ImageFormat   file is made, and again once it
//                      format again); an    (absent: 214), Image       is written), LoopCount 0, Image
//                      open page's file     Offset, TempFile; and      Size 0, Next Point, Directory
//                      is deleted           TempFile again for a       Count, Image Offset
//                                           later page
//   3 WritePalette     BeginPage, before    TempFile, File Type,       nothing (the colour map goes into
//                      any band (else 214;  Compression, ImageFormat,  the page file)
//                      0 for formats        LoopCount
//                      without a palette)
//   5 WriteBand        BeginPage,           TempFile (no page file:    LoopCount + 1, Image Size (the
//                      WritePalette,        214), File Type,           coded bytes so far)
//                      WriteBand, an        Compression, ImageFormat,
//                      EndPage refused      LoopCount, Page Count,
//                      for missing rows     Image Size
//   6 EndPage          WriteBand (rows      TempFile (no page file:    Page Count + 1, Next Point;
//                      missing: 214, the    214), Page Count, Next     TempFile and LoopCount deleted
//                      page stays open)     Point, Directory Count,
//                                           Compression, ImageFormat,
//                                           File Type, Image Size
//   7 EndJob           anything             TempFile                   TempFile, ImageFormat, LoopCount,
//                                                                      Page Count, Next Point, Job Owner
//                                                                      deleted
//   8 About            anything             nothing                    nothing
//
// Every page file and staged copy the plug-in makes is named ("TempFile",
// "Staged File") before it is made and its identity ("TempFile Identity",
// "Staged File Identity") recorded once it is; it is opened again, and a
// staged copy left by a killed job is deleted, only when it proves to be
// that file. "Job Owner" names the process running the job: PreparePage
// records it, and every page command refuses a job whose owner is another
// process still running (219) without touching it; a dead owner's job is
// taken over, its files deleted.
//
// PreparePage takes the page count from the plug-in object (or, continuing a
// file with none, from the file), never from the registry; BeginPage,
// WriteBand and EndPage read it back. A command that fails keeps what it wrote before the
// failure: BeginPage names
// its page file in "TempFile" before making it, so that a host killed while
// the page is written leaves a file the next command or job finds and
// deletes. "File Type", "Compression" and "Color Compression" (every page
// but bilevel ones; read wherever "Compression" is) are the user's settings, written by
// the settings dialog (ui/), and read by the job at each command; the
// dialog's window position stays with the dialog.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/setting_values.h"
#include "state/state_store.h"

// One value of the job. The comment names its registry value and type.
enum class JobValue : uint8_t {
    ByteOrder,            // "File Type", REG_DWORD
    Compression,          // "Compression", REG_DWORD
    PageCount,            // "Page Count", REG_DWORD
    NextDirectoryField,   // "Next Point", REG_DWORD, or REG_QWORD past 32 bits (BigTIFF)
    PageFilePath,         // "TempFile", REG_SZ
    ImageFormat,          // "ImageFormat", REG_DWORD
    BandCount,            // "LoopCount", REG_DWORD
    CodedStripBytes,      // "Image Size", REG_DWORD
    DirectoryEntryCount,  // "Directory Count", REG_DWORD
    OutputEndOffset,      // "Image Offset", REG_DWORD, or REG_QWORD past 32 bits
    ColorCompression,     // "Color Compression", REG_DWORD
    AppendBase,           // "Append Base", REG_DWORD, or REG_QWORD past 32 bits
    AppendFile,           // "Append File", REG_SZ
    PageFileIdentity,     // "TempFile Identity", REG_SZ
    StagedFilePath,       // "Staged File", REG_SZ
    StagedFileIdentity,   // "Staged File Identity", REG_SZ
    JobOwner,             // "Job Owner", REG_SZ
    JpegQuality,          // "JPEG Quality", REG_DWORD: read by BeginPage of a JPEG page only
    FileKind,             // "BigTIFF", REG_DWORD: read by BeginPage of a file's first page and by
                          // PreparePage when it takes a file over
};

// The groups the commands load, save and delete, each in the order the
// command reads or writes its values.
namespace job_values {
using V = JobValue;
inline constexpr JobValue kSettings[] = {V::ByteOrder, V::Compression, V::ColorCompression};
// What WritePalette, WriteBand and EndPage, in turn, read about the open page.
inline constexpr JobValue kPageFormat[] = {V::ByteOrder, V::Compression, V::ColorCompression, V::ImageFormat};
inline constexpr JobValue kBandInputs[] = {V::ByteOrder, V::Compression, V::ColorCompression, V::ImageFormat,
                                           V::BandCount, V::PageCount,   V::CodedStripBytes};
inline constexpr JobValue kPageEndInputs[] = {V::PageCount,   V::NextDirectoryField, V::DirectoryEntryCount,
                                              V::Compression, V::ColorCompression,   V::ImageFormat,
                                              V::ByteOrder,   V::CodedStripBytes};
// Written by PreparePage, by BeginPage once the page file is written, by
// WriteBand after each band and by EndPage once the page is committed.
inline constexpr JobValue kPreparedPage[] = {V::ImageFormat, V::PageCount};
inline constexpr JobValue kBegunPage[] = {V::PageFilePath,    V::PageFileIdentity,   V::BandCount,
                                          V::CodedStripBytes, V::NextDirectoryField, V::DirectoryEntryCount,
                                          V::OutputEndOffset};
inline constexpr JobValue kBandProgress[] = {V::BandCount, V::CodedStripBytes};
inline constexpr JobValue kCommittedPages[] = {V::PageCount, V::NextDirectoryField};
// A later page: the count it commits, with the record of its append.
inline constexpr JobValue kCommittedPagesAndAppend[] = {V::PageCount, V::NextDirectoryField, V::AppendBase,
                                                        V::AppendFile};
// Deleted when a page ends or is abandoned, and when the job ends.
inline constexpr JobValue kOpenPage[] = {V::PageFilePath, V::BandCount, V::PageFileIdentity};
inline constexpr JobValue kPreparedOrOpenPage[] = {V::PageFilePath, V::ImageFormat, V::BandCount, V::PageFileIdentity};
inline constexpr JobValue kJob[] = {V::PageCount, V::NextDirectoryField, V::JobOwner};
// A staged copy beside the output file, while it exists.
inline constexpr JobValue kStagedFile[] = {V::StagedFilePath, V::StagedFileIdentity};
// An append under way: written before a page's bytes go past the end of an
// existing output file, deleted once the page is committed or cut off again.
inline constexpr JobValue kAppendUnderWay[] = {V::AppendBase, V::AppendFile};
// What a committed page leaves behind: its append record and its open page.
inline constexpr JobValue kCommittedPageLeftovers[] = {V::AppendBase, V::AppendFile, V::PageFilePath, V::BandCount,
                                                       V::PageFileIdentity};
}  // namespace job_values

// The job's values, read from and written to the registry through `store`,
// whose location the caller sets before each command.
struct JobState {
    explicit JobState(const StateStore& store) : store_(&store) {}

    // Settings, as the page was begun with.
    int32_t byteOrder = kDefaultByteOrder;                // ByteOrderIntel, anything else is Motorola
    int32_t compression = kDefaultCompression;            // bilevel pages: None, Group 4, Group 3 or PackBits
    int32_t colorCompression = kDefaultColorCompression;  // other pages: None, LZW, Deflate, JPEG or PackBits
    uint32_t jpegQuality = kDefaultJpegQuality;           // JPEG pages: 1 to 100
    uint32_t fileKind = kDefaultFileKind;                 // a new file: FileKindClassic or FileKindBigTiff
    // The output file.
    uint32_t pageCount = 0;           // pages committed to the output file
    uint64_t nextDirectoryField = 0;  // offset of the last page's next-directory field, where a page is linked
    // The page being written.
    char pageFilePath[260] = {};       // the temporary file the page is assembled in
    int32_t imageFormat = 0;           // the prepared page's ImageFormat
    uint32_t bandCount = 0;            // bands written to the page file
    uint32_t codedStripBytes = 0;      // coded strip bytes in the page file so far (0 for uncompressed pages)
    uint32_t directoryEntryCount = 0;  // entries of the page's directory
    uint64_t outputEndOffset = 0;      // where the output file ends once the page is committed
    // An append under way (a killed one, when a later job finds it).
    uint64_t appendBase = 0;          // the output file's size before the append
    char appendFile[260] = {};        // the output file's identity (output/file_identity.h)
    char pageFileIdentity[260] = {};  // the page file's identity, as created
    // A staged copy of a first page beside the output file, and its identity.
    char stagedFilePath[260] = {};
    char stagedFileIdentity[260] = {};
    // The process that runs the job (see entry/job_owner.h).
    char jobOwner[260] = {};

    // Reads one value into its field: false, and the field as it was, when
    // the value is absent or cannot be read.
    bool Load(JobValue value);
    // Reads each value of the group in turn; an absent one keeps its field.
    template <size_t N>
    void Load(const JobValue (&group)[N]) {
        for (JobValue value : group) Load(value);
    }

    // A value or a group is written as one commit: once Save returns true
    // it survives a kill of the process. Writes stop at the first that
    // fails: false then, and the command fails with StatusStateUnavailable
    // before anything that relies on the value is done.
    [[nodiscard]] bool Save(JobValue value) const { return Committed(Put(value)); }
    template <size_t N>
    [[nodiscard]] bool Save(const JobValue (&group)[N]) const {
        bool put = true;
        for (JobValue value : group) {
            if (put) put = Put(value);
        }
        return Committed(put);
    }

    // True once the value is gone (or was never there), committed as Save is.
    [[nodiscard]] bool Delete(JobValue value) const { return Committed(Remove(value)); }
    template <size_t N>
    [[nodiscard]] bool Delete(const JobValue (&group)[N]) const {
        bool removed = true;
        for (JobValue value : group) {
            if (removed) removed = Remove(value);
        }
        return Committed(removed);
    }

    // Deletes one value and writes another, as one commit.
    [[nodiscard]] bool Replace(JobValue deleted, JobValue saved) const {
        return Committed(Remove(deleted) && Put(saved));
    }

private:
    // One value into the open key, not yet committed.
    bool Put(JobValue value) const;
    bool Remove(JobValue value) const;
    // Commits what was put, whatever `done` says; true when both hold.
    bool Committed(bool done) const {
        const bool committed = store_->Commit();
        return done && committed;
    }

    const StateStore* store_;
};
