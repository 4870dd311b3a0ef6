// The file a page is assembled in, from its creation to its commit: the one
// owner of its life and of its directory.
//
// The page file is a fresh "~TF" file in the user's temp folder
// (page_temp_file.h), named in the job's record before it is made and opened
// again only when it proves to be that file. Its directory is read once per
// command (ReadDirectory) and patched in place at the page's end. Every
// path that does not commit the page ends in Discard, which closes and
// deletes the file; a committed page's file is deleted by DropCommitted, and
// one that cannot be is tried again at the job's end (DropStray). Nothing
// else deletes a page file.
#pragma once

#include <cstdint>

#include "base/status.h"
#include "output/file_handle.h"
#include "page/strip_counts.h"
#include "tiff/color_map.h"
#include "tiff/directory_entry.h"
#include "tiff/image_format.h"

// What a page file's directory says about the page begun in it. A page's
// byte order and compression are fixed when it is begun: its directory is
// written with them. The settings in the registry may change before the
// page ends (a settings dialog, another process on the same key); the
// page's later commands follow the page file, so that a page is never
// finished in another byte order or compression than its directory says.
struct PageDirectory {
    int32_t byteOrder;         // ByteOrderIntel or ByteOrderMotorola
    int32_t compression;       // how the strip is coded (PageCompression's values)
    uint32_t width;            // ImageWidth: the pixels of each row
    uint32_t height;           // ImageLength: the rows the page was begun with
    uint32_t entryCount;       // entries of the directory
    uint32_t headerBytes;      // the header's bytes on the first page of a file, else 0
    uint32_t blockBytes;       // the directory block; 0 when the directory follows the strips
    uint64_t directoryOffset;  // where the directory lands in the output file (where the page lands
                               // when its directory follows its strips)
    uint32_t declaredStrip;    // StripByteCounts
    uint32_t yResolution;      // Group 3 pages: rows per inch, which chose the coding; else 0
    TiffFlavour flavour;       // classic TIFF or BigTIFF, as the page was begun

    // Where the strip starts in the page file.
    uint64_t dataStart() const { return uint64_t{headerBytes} + blockBytes; }
};

class PageFile {
public:
    // The file's name and identity as the job's record holds them (the
    // fields of JobState the record fills).
    PageFile(const char (&path)[260], const char (&identity)[260]) : path_(path), identity_(identity) {}
    PageFile(const PageFile&) = delete;
    PageFile& operator=(const PageFile&) = delete;

    // A fresh, empty page file, named in `record` before it is made and with
    // its identity once it is; `path` receives its name.
    PluginStatus Create(CreationRecord& record, char (&path)[260]);
    // Opens the recorded file when it proves to be the one made.
    PluginStatus Open();

    // Reads the directory at the start of the open file (after the header
    // on the first page of a file, pageCount 0), expected to hold the
    // entries of `format`'s layout; `settingsByteOrder` is tried first, and
    // the flavour is the directory's own (a BigTIFF count is 8 bytes, so its
    // first entry's tag lies elsewhere). StatusBadSequence when the file
    // holds no such directory in either byte order and flavour; the
    // primitives' statuses when it cannot be read.
    PluginStatus ReadDirectory(uint32_t pageCount, int32_t format, int32_t settingsByteOrder);
    const PageDirectory& directory() const { return directory_; }

    // A page whose directory follows its strips (page_coder.h) has none at
    // the start of its file: what it will say is known to this object from
    // the page's begin, for the file then made, with the page's strip
    // counts. ReadDirectory then reads it from here; a file this object did
    // not begin so (another process's) holds no directory it can read.
    void BeginTrailingPage(const PageDirectory& page, uint32_t pageCount, int32_t format, uint32_t xResolution,
                           uint32_t yResolution);
    bool trailingDirectory() const { return directory_.blockBytes == 0; }
    // Whether the open file is the one BeginTrailingPage was told of.
    bool HoldsTrailingPage() const;
    // A palette page whose directory follows its strips keeps its ColorMap
    // here until the directory is laid out.
    void KeepColorMap(const PaletteColors& palette, uint32_t planeValues);
    const uint8_t* colorMap() const { return trailing_.colorMapKept ? trailing_.colorMap : nullptr; }
    uint32_t xResolution() const { return trailing_.xResolution; }
    uint32_t yResolution() const { return trailing_.yResolution; }
    StripCounts& stripCounts() { return stripCounts_; }
    // Rewrites entry `index` of the directory in place, in its byte order.
    PluginStatus Rewrite(uint32_t index, const DirectoryEntry& entry);

    FileHandle& file() { return file_; }
    PluginStatus Close() { return file_.Close(); }
    void CloseIfOpen() {
        if (file_.IsOpen()) file_.Close();
    }

    // The page is given up: the file is closed and deleted.
    PluginStatus Discard();
    // The page is committed: the file is closed and deleted; one that
    // cannot be deleted is remembered for DropStray.
    void DropCommitted();
    // Deletes a committed page's file that could not be deleted at its end.
    void DropStray();

private:
    // Group 3 pages: whether T4Options says two-dimensional, and the Y
    // resolution the coding was chosen by.
    PluginStatus ReadGroup3Coding(int32_t format, const uint8_t* entries, PageDirectory& read);
    // The byte order and flavour whose entry count at `position` is
    // plausible for `layout` and whose first entry is NewSubfileType.
    PluginStatus FindDirectoryKind(uint32_t pageCount, const FormatLayout& layout, int32_t settingsByteOrder,
                                   PageDirectory& read);

    // The one deletion of a page file: when its identity is recorded, only
    // if it proves to be that file; a file named but not yet made lies in
    // the temp folder under a page file's name and is deleted as it is.
    PluginStatus Remove();
    void ForgetTrailingPage();

    // What BeginTrailingPage was told, for the file whose identity it holds.
    struct TrailingPage {
        PageDirectory directory;
        uint32_t pageCount;
        int32_t format;
        uint32_t xResolution;
        uint32_t yResolution;
        char identity[260];
        bool colorMapKept;
        uint8_t colorMap[ColorMapBytes(256)];
    };

    const char (&path_)[260];
    const char (&identity_)[260];
    FileHandle file_;
    PageDirectory directory_{};
    TrailingPage trailing_{};
    StripCounts stripCounts_;
    char strayPath_[260] = {};
    FileIdentity strayIdentity_;
};
