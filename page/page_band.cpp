// The page's image data: bands converted to strip rows (or Group 4 coded)
// and appended to the page file, and the colour map of palette pages.
#include <algorithm>

#include "memory/global_block.h"
#include "page/page_writer.h"
#include "page/strip_sink.h"
#include "platform/win32.h"
#include "tiff/byte_order.h"
#include "tiff/color_map.h"
#include "tiff/directory_entry.h"
#include "tiff/directory_layout.h"
#include "tiff/image_format.h"
#include "tiff/pixel_convert.h"

PluginStatus PageWriter::WriteBand(const BandRows& band) {
    PluginStatus status = CheckBandRecord(band);
    if (status != StatusOk) return status;

    status = pageFile_.Open();
    if (status != StatusOk) {
        pageFile_.Discard();
        return status;
    }
    uint64_t rowsAfter = 0;
    status = AdoptPageDirectory();
    if (status == StatusOk) status = CheckBandFitsPage(band, &rowsAfter);
    if (status == StatusBadSequence || status == StatusBadRecord) {
        pageFile_.Close();  // not a page of this format, or a band it cannot take: nothing is touched
        return status;
    }
    // A page that cannot grow by this band keeps the rows it has, and the
    // host may still end it with them.
    const uint32_t height = pageFile_.directory().height;
    if (status == StatusOk && rowsAfter > height) {
        status = CheckPageCanGrow(band, height, rowsAfter);
        if (status != StatusOk) {
            pageFile_.Close();
            return status;
        }
    }
    if (status == StatusOk) status = pageFile_.file().SeekToEnd();
    if (status == StatusOk) status = AppendBand(band);
    if (status != StatusOk) {
        pageFile_.Discard();
        return status;
    }
    PluginStatus closeStatus = pageFile_.Close();
    ++job_.bandCount;
    if (!job_.Save(job_values::kBandProgress)) {
        pageFile_.Discard();  // its bands and the registry no longer agree
        return StatusStateUnavailable;
    }
    return closeStatus;
}

// The band is coded in the byte order and compression the page was begun
// with, whatever the settings say by now.
PluginStatus PageWriter::AdoptPageDirectory() {
    PluginStatus status = pageFile_.ReadDirectory(job_.pageCount, job_.imageFormat, job_.byteOrder);
    if (status != StatusOk) return status;
    const PageDirectory& page = pageFile_.directory();
    job_.byteOrder = page.byteOrder;
    SettingsOfPageCompression(page.compression, &job_.compression, &job_.colorCompression);
    return StatusOk;
}

int32_t PageWriter::PageCompressionOfJob() const {
    return PageCompression(job_.imageFormat, job_.compression, job_.colorCompression);
}

PageCoder& PageWriter::Coder() { return coders_.For(PageCompressionOfJob()); }

// A band holds rows of the page's own width. *rowsAfter: the page's rows once
// the band is in; rows beyond the height the page was begun with extend it
// (a scanner often does not know a page's length when it begins).
PluginStatus PageWriter::CheckBandFitsPage(const BandRows& band, uint64_t* rowsAfter) {
    if (band.rows == 0) return StatusOk;
    const PageDirectory& page = pageFile_.directory();
    if (band.width != page.width) return StatusBadRecord;
    const uint64_t size = pageFile_.file().Size64();
    if (size == UINT64_MAX) return StatusReadFailed;
    // The strip so far is this coder's, or the page cannot go on: another
    // coder's stream cannot be continued.
    if (size < page.dataStart() || !Coder().Continues(size - page.dataStart())) return StatusBadSequence;
    *rowsAfter = RowsInStrip(page.width, size) + band.rows;
    return StatusOk;
}

// Rows beyond the begun height had no part in the page's free-space and size
// checks at its start: they get the same checks here, measured uncompressed
// as there, before anything is allocated or read.
PluginStatus PageWriter::CheckPageCanGrow(const BandRows& band, uint32_t height, uint64_t rowsAfter) {
    if (rowsAfter > UINT32_MAX) return StatusWriteFailed;  // ImageLength is 32-bit
    uint64_t extraRows = rowsAfter - std::max<uint64_t>(rowsAfter - band.rows, height);
    uint64_t size = pageFile_.file().Size64();
    if (size == UINT64_MAX) return StatusReadFailed;
    // Where the page's strip lies in the output, and where it would end.
    const PageDirectory& page = pageFile_.directory();
    uint64_t stripOffset = page.directoryOffset + page.blockBytes;
    uint64_t dataStart = page.dataStart();
    if (size < dataStart) return StatusBadSequence;
    const uint64_t stripBytes = (size - dataStart) + ConvertedBandBytes(job_.imageFormat, band.width, band.rows);
    // With a pad byte, below the flavour's offset limit; the strip itself
    // below 4 GiB in either flavour.
    if (stripOffset + stripBytes + 1 >= FrameOf(page.flavour).offsetLimit || stripBytes + 1 >= kOffsetLimit) {
        if (page.flavour == TiffFlavour::Classic && stripBytes + 1 < kOffsetLimit) note_ = FailureNote::ClassicFileFull;
        return StatusWriteFailed;
    }
    if (!RoomOrUnknown(FreeSpace(job_.pageFilePath), ConvertedBandBytes(job_.imageFormat, band.width, extraRows)))
        return NoRoomOn(job_.pageFilePath, true);
    return StatusOk;
}

// The strip's coder counts its rows.
uint64_t PageWriter::RowsInStrip(uint32_t width, uint64_t pageFileSize) {
    const uint64_t dataStart = pageFile_.directory().dataStart();
    const uint64_t stripBytes = pageFileSize > dataStart ? pageFileSize - dataStart : 0;
    return Coder().RowsInStrip(stripBytes, ConvertedBandBytes(job_.imageFormat, width, 1));
}

// A band the page cannot take is refused before anything is touched.
PluginStatus PageWriter::CheckBandRecord(const BandRows& band) const {
    if (band.rows == 0) return StatusOk;
    if (band.pixels == nullptr) return StatusBadRecord;
    if (job_.imageFormat == FormatBilevel && band.bilevelRowBytes < (uint64_t{band.width} + 7) / 8)
        return StatusBadRecord;  // rows would overlap: rowBytes below one row of pixels
    if (ConvertedBandBytes(job_.imageFormat, band.width, band.rows) >= kOffsetLimit) return StatusBadRecord;
    return StatusOk;
}

PluginStatus PageWriter::AppendBand(const BandRows& band) {
    if (band.rows == 0) return StatusOk;
    PageCoder& coder = Coder();
    BandRows rows = band;
    rows.pixels += FirstRowOffset(job_.imageFormat, job_.bandCount);
    StripSink sink(pageFile_.file(), coder.SizedByCode() ? &job_.codedStripBytes : nullptr);
    const StripShape shape{job_.imageFormat, job_.byteOrder, pageFile_.directory().yResolution};
    return coder.CodeBand(rows, shape, sink);
}

PluginStatus PageWriter::WritePalette(const PaletteColors& palette) {
    PluginStatus status = pageFile_.Open();
    if (status != StatusOk) {
        pageFile_.Discard();
        return status;
    }
    status = WriteColorMap(palette);
    if (status != StatusOk) {
        pageFile_.Discard();
        return status;
    }
    return pageFile_.Close();
}

PluginStatus PageWriter::WriteColorMap(const PaletteColors& palette) {
    uint32_t planeValues = ColorMapPlaneValues(job_.imageFormat);
    // A page whose directory follows its strips has none in its file yet:
    // the map waits for it.
    if (pageFile_.HoldsTrailingPage()) {
        pageFile_.KeepColorMap(palette, planeValues);
        return StatusOk;
    }
    uint32_t mapBytes = ColorMapBytes(planeValues);
    FileHandle& file = pageFile_.file();
    PluginStatus status = file.Seek(-static_cast<int32_t>(mapBytes), nullptr, FILE_END);
    if (status != StatusOk) return status;
    GlobalBlock colorMap(mapBytes);
    if (colorMap.get() == nullptr) return StatusNoMemory;
    BuildColorMap(palette, planeValues, colorMap.get());
    if (!RoomOrUnknown(FreeSpace(job_.pageFilePath), mapBytes)) return NoRoomOn(job_.pageFilePath, true);
    return file.Write(mapBytes, colorMap.get());
}
