// The page's image data: bands converted to strip rows (or Group 4 coded)
// and appended to the page file, and the colour map of palette pages.
#include "entry/page_file_settings.h"
#include "entry/tiff_page_writer.h"
#include "output/global_block.h"
#include "platform/win32.h"
#include "tiff/color_map.h"
#include "tiff/directory_layout.h"
#include "tiff/g4_encoder.h"
#include "tiff/image_format.h"
#include "tiff/pixel_convert.h"

PluginStatus TiffPageWriter::WriteBand() {
    if (!ReadPageFilePath()) return StatusBadSequence;
    job_.Load(job_values::kBandInputs);
    PluginStatus status = CheckBandRecord();
    if (status != StatusOk) return status;

    status = file_.OpenForUpdate(job_.pageFilePath);
    if (status != StatusOk) {
        FileHandle::RemoveFile(job_.pageFilePath);
        return status;
    }
    PageFileSettings page{};
    status = AdoptPageFileSettings(&page);
    if (status == StatusOk) status = CheckBandFitsPage(page);
    if (status == StatusBadSequence || status == StatusBadRecord) {
        file_.Close();  // not a page of this format, or a band it cannot take: nothing is touched
        return status;
    }
    if (status == StatusOk) status = file_.SeekToEnd();
    if (status == StatusOk) status = AppendBand();
    if (status != StatusOk) {
        AbandonPage();
        return status;
    }
    PluginStatus closeStatus = file_.Close();
    ++job_.bandCount;
    job_.Save(job_values::kBandProgress);
    return closeStatus;
}

// The band is coded in the byte order and compression the page was begun
// with, whatever the settings say by now.
PluginStatus TiffPageWriter::AdoptPageFileSettings(PageFileSettings* page) {
    PluginStatus status = ReadPageFileSettings(file_, job_.pageCount, job_.imageFormat, job_.byteOrder, page);
    if (status != StatusOk) return status;
    job_.byteOrder = page->byteOrder;
    job_.compression = page->compression;
    return StatusOk;
}

// A band holds rows of the page's own width, and no more rows than the page
// has left: any other band would make a strip that is not the page, and its
// size is bounded by the page's before anything is allocated or read.
PluginStatus TiffPageWriter::CheckBandFitsPage(const PageFileSettings& page) {
    if (image_->rows == 0) return StatusOk;
    if (image_->width != page.width) return StatusBadRecord;
    uint64_t rowsWritten = g4_.rowsCoded();
    if (!IsGroup4Page(job_.imageFormat, job_.compression)) {
        uint64_t size = file_.Size64();
        if (size == UINT64_MAX) return StatusReadFailed;
        uint64_t dataStart = DirectoryPositionInPageFile(job_.pageCount) + BlockBytes(*FindLayout(job_.imageFormat));
        uint64_t rowBytes = ConvertedBandBytes(job_.imageFormat, page.width, 1);
        rowsWritten = size > dataStart && rowBytes > 0 ? (size - dataStart) / rowBytes : 0;
    }
    return rowsWritten + image_->rows > page.height ? StatusBadRecord : StatusOk;
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
    uint32_t rowBytes = image_->yResolution;  // bilevel bands: bytes from row to row
    if (IsGroup4Page(job_.imageFormat, job_.compression)) {
        if (image_->rows == 0) return StatusOk;
        G4FileSink sink(file_, &job_.codedStripBytes);
        return g4_.CodeBand(image_->pixels, image_->width, image_->rows, rowBytes, sink);
    }
    uint64_t bytes = ConvertedBandBytes(job_.imageFormat, image_->width, image_->rows);
    if (bytes == 0) return StatusOk;  // no rows, or a format without a strip
    GlobalBlock stripRows(static_cast<size_t>(bytes));  // below kOffsetLimit: CheckBandRecord
    if (stripRows.get() == nullptr) return StatusNoMemory;
    BandSource band{image_->pixels + FirstRowOffset(job_.imageFormat, job_.bandCount), image_->width, image_->rows, rowBytes};
    ConvertBand(job_.imageFormat, band, job_.byteOrder, stripRows.get());
    return file_.Write(static_cast<uint32_t>(bytes), stripRows.get());
}

PluginStatus TiffPageWriter::WritePalette() {
    bool havePageFile = ReadPageFilePath();
    job_.Load(job_values::kPageFormat);
    if (!IsPaletteFormat(job_.imageFormat)) return StatusOk;
    // The map lies at the end of the page file only until the first band.
    job_.Load(JobValue::BandCount);
    if (!havePageFile || job_.bandCount != 0) return StatusBadSequence;

    PluginStatus status = file_.OpenForUpdate(job_.pageFilePath);
    if (status != StatusOk) {
        FileHandle::RemoveFile(job_.pageFilePath);
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
    if (!RoomOrUnknown(FreeSpace(job_.pageFilePath), mapBytes)) return StatusDiskFull;
    return file_.Write(mapBytes, colorMap.get());
}
