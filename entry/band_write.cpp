// The page's image data: bands converted to strip rows (or Group 4 coded)
// and appended to the page file, and the colour map of palette pages.
#include <algorithm>

#include "entry/page_file_settings.h"
#include "entry/tiff_page_writer.h"
#include "memory/global_block.h"
#include "page/strip_sink.h"
#include "platform/win32.h"
#include "tiff/byte_order.h"
#include "tiff/color_map.h"
#include "tiff/directory_entry.h"
#include "tiff/directory_layout.h"
#include "tiff/image_format.h"
#include "tiff/pixel_convert.h"

PluginStatus TiffPageWriter::WriteBand() {
    if (HeldByAnotherProcess()) return StatusJobInUse;
    if (!ReadPageFilePath()) return StatusBadSequence;
    job_.Load(job_values::kBandInputs);
    PluginStatus status = CheckBandRecord();
    if (status != StatusOk) return status;

    status = OpenPageFile(true);
    if (status != StatusOk) {
        RemovePageFile();
        return status;
    }
    PageFileSettings page{};
    uint64_t rowsAfter = 0;
    status = AdoptPageFileSettings(&page);
    if (status == StatusOk) status = CheckBandFitsPage(page, &rowsAfter);
    if (status == StatusBadSequence || status == StatusBadRecord) {
        file_.Close();  // not a page of this format, or a band it cannot take: nothing is touched
        return status;
    }
    // A page that cannot grow by this band keeps the rows it has, and the
    // host may still end it with them.
    if (status == StatusOk && rowsAfter > page.height) {
        status = CheckPageCanGrow(page.height, rowsAfter);
        if (status != StatusOk) {
            file_.Close();
            return status;
        }
    }
    if (status == StatusOk) status = file_.SeekToEnd();
    if (status == StatusOk) status = AppendBand();
    if (status != StatusOk) {
        AbandonPage();
        return status;
    }
    PluginStatus closeStatus = file_.Close();
    ++job_.bandCount;
    if (!job_.Save(job_values::kBandProgress)) {
        AbandonPage();  // its bands and the registry no longer agree
        return StatusStateUnavailable;
    }
    return closeStatus;
}

// The band is coded in the byte order and compression the page was begun
// with, whatever the settings say by now.
PluginStatus TiffPageWriter::AdoptPageFileSettings(PageFileSettings* page) {
    PluginStatus status = ReadPageFileSettings(file_, job_.pageCount, job_.imageFormat, job_.byteOrder, page);
    if (status != StatusOk) return status;
    job_.byteOrder = page->byteOrder;
    SettingsOfPageCompression(page->compression, &job_.compression, &job_.colorCompression);
    return StatusOk;
}

int32_t TiffPageWriter::PageCompressionOfJob() const {
    return PageCompression(job_.imageFormat, job_.compression, job_.colorCompression);
}

PageCoder& TiffPageWriter::Coder() { return coders_.For(PageCompressionOfJob()); }

uint64_t TiffPageWriter::DataStartInPageFile() const {
    return DirectoryPositionInPageFile(job_.pageCount) +
           PageBlockBytes(*FindLayout(job_.imageFormat), PageCompressionOfJob());
}

// A band holds rows of the page's own width. *rowsAfter: the page's rows once
// the band is in; rows beyond the height the page was begun with extend it
// (a scanner often does not know a page's length when it begins).
PluginStatus TiffPageWriter::CheckBandFitsPage(const PageFileSettings& page, uint64_t* rowsAfter) {
    if (image_->rows == 0) return StatusOk;
    if (image_->width != page.width) return StatusBadRecord;
    const uint64_t size = file_.Size64();
    if (size == UINT64_MAX) return StatusReadFailed;
    // The strip so far is this coder's, or the page cannot go on: another
    // coder's stream cannot be continued.
    if (size < DataStartInPageFile() || !Coder().Continues(size - DataStartInPageFile())) return StatusBadSequence;
    *rowsAfter = RowsInStrip(page.width, size) + image_->rows;
    return StatusOk;
}

// Rows beyond the begun height had no part in the page's free-space and size
// checks at its start: they get the same checks here, measured uncompressed
// as there, before anything is allocated or read.
PluginStatus TiffPageWriter::CheckPageCanGrow(uint32_t height, uint64_t rowsAfter) {
    if (rowsAfter > UINT32_MAX) return StatusWriteFailed;  // ImageLength is 32-bit
    uint64_t extraRows = rowsAfter - std::max<uint64_t>(rowsAfter - image_->rows, height);
    uint64_t size = file_.Size64();
    if (size == UINT64_MAX) return StatusReadFailed;
    uint8_t entry[kEntryBytes];
    PluginStatus status =
        file_.ReadAt(EntryPositionInTempFile(entry_index::kStripOffsets, job_.pageCount), kEntryBytes, entry);
    if (status != StatusOk) return status;
    // Where the page's strip lies in the output, and where it would end.
    uint64_t stripOffset = GetLong(entry + 8, job_.byteOrder);
    uint64_t dataStart = DataStartInPageFile();
    if (size < dataStart) return StatusBadSequence;
    uint64_t stripEnd =
        stripOffset + (size - dataStart) + ConvertedBandBytes(job_.imageFormat, image_->width, image_->rows);
    if (stripEnd + 1 >= kOffsetLimit) return StatusWriteFailed;  // with a pad byte, below the 32-bit limit
    if (!RoomOrUnknown(FreeSpace(job_.pageFilePath), ConvertedBandBytes(job_.imageFormat, image_->width, extraRows)))
        return NoRoomOn(job_.pageFilePath, true);
    return StatusOk;
}

// The strip's coder counts its rows.
uint64_t TiffPageWriter::RowsInStrip(uint32_t width, uint64_t pageFileSize) {
    const uint64_t dataStart = DataStartInPageFile();
    const uint64_t stripBytes = pageFileSize > dataStart ? pageFileSize - dataStart : 0;
    return Coder().RowsInStrip(stripBytes, ConvertedBandBytes(job_.imageFormat, width, 1));
}

// A band the page cannot take is refused before anything is touched.
PluginStatus TiffPageWriter::CheckBandRecord() const {
    if (image_->rows == 0) return StatusOk;
    if (image_->pixels == nullptr) return StatusBadRecord;
    if (job_.imageFormat == FormatBilevel && image_->yResolution < (uint64_t{image_->width} + 7) / 8)
        return StatusBadRecord;  // rows would overlap: rowBytes below one row of pixels
    if (ConvertedBandBytes(job_.imageFormat, image_->width, image_->rows) >= kOffsetLimit) return StatusBadRecord;
    return StatusOk;
}

PluginStatus TiffPageWriter::AppendBand() {
    if (image_->rows == 0) return StatusOk;
    PageCoder& coder = Coder();
    const BandRows band{image_->pixels + FirstRowOffset(job_.imageFormat, job_.bandCount), image_->width, image_->rows,
                        image_->yResolution};  // bilevel bands: yResolution is the row stride
    StripSink sink(file_, coder.SizedByCode() ? &job_.codedStripBytes : nullptr);
    return coder.CodeBand(band, StripShape{job_.imageFormat, job_.byteOrder}, sink);
}

PluginStatus TiffPageWriter::WritePalette() {
    if (HeldByAnotherProcess()) return StatusJobInUse;
    bool havePageFile = ReadPageFilePath();
    job_.Load(job_values::kPageFormat);
    if (!IsPaletteFormat(job_.imageFormat)) return StatusOk;
    // The map lies at the end of the page file only until the first band.
    job_.Load(JobValue::BandCount);
    if (!havePageFile || job_.bandCount != 0) return StatusBadSequence;

    PluginStatus status = OpenPageFile(true);
    if (status != StatusOk) {
        RemovePageFile();
        return status;
    }
    status = WriteColorMap();
    if (status != StatusOk) {
        AbandonPage();
        return status;
    }
    return file_.Close();
}

PluginStatus TiffPageWriter::WriteColorMap() {
    uint32_t planeValues = ColorMapPlaneValues(job_.imageFormat);
    uint32_t mapBytes = ColorMapBytes(planeValues);
    PluginStatus status = file_.Seek(-static_cast<int32_t>(mapBytes), nullptr, FILE_END);
    if (status != StatusOk) return status;
    GlobalBlock colorMap(mapBytes);
    if (colorMap.get() == nullptr) return StatusNoMemory;
    BuildColorMap(reinterpret_cast<const uint8_t*>(image_), planeValues, colorMap.get());
    if (!RoomOrUnknown(FreeSpace(job_.pageFilePath), mapBytes)) return NoRoomOn(job_.pageFilePath, true);
    return file_.Write(mapBytes, colorMap.get());
}
