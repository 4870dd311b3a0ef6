#include "host/job_driver.h"

#include <algorithm>
#include <cstring>

#include "host/scan_layout.h"
#include "host/settings.h"
#include "platform/win32.h"

namespace {

// Every band is a command, and a command costs the plug-in a few registry
// transactions and an opening of its page file whatever the band's size: so
// bands hold about 1 MiB of rows (at least 64 rows). A whole number of 16
// rows keeps a JPEG page's bands on its strips' ends, so that the plug-in's
// second coding thread can take a band's last strip while the next band is
// read.
uint32_t DefaultBandRows(uint32_t rowBytes) {
    constexpr uint32_t kRows = 64;
    constexpr uint32_t kBytes = 1024 * 1024;
    constexpr uint32_t kStripRows = 16;
    if (rowBytes == 0) return kRows;
    const uint32_t rows = kBytes / rowBytes;
    return std::max(kRows, rows - rows % kStripRows);
}

std::string FieldText(const char* field, size_t size) { return std::string(field, strnlen(field, size)); }

}  // namespace

JobDriver::JobDriver(const PluginLibrary& plugin, Progress& progress, const std::string& outputPath,
                     const std::string& stateKeyPath)
    : plugin_(plugin), progress_(progress) {
    std::strncpy(request_.stateKey.stateKeyPath, stateKeyPath.c_str(), sizeof request_.stateKey.stateKeyPath - 1);
    request_.stateKey.stateRoot = HKEY_CURRENT_USER;
    request_.target = &target_;
    std::strncpy(target_.path, outputPath.c_str(), sizeof target_.path - 1);
    target_.image = &image_;
}

bool JobDriver::Run(int32_t command, const char* name, JobFailure& failure) {
    const uint16_t status = plugin_.Call(command, request_);
    if (status != 0) {
        failure.command = name;
        failure.status = status;
        return false;
    }
    return true;
}

bool JobDriver::Initialize(std::string& formatName, std::string& settingsText, JobFailure& failure) {
    target_.image = &image_;
    if (!Run(CmdInitialize, "CmdInitialize", failure)) {
        return false;
    }
    formatName = FieldText(request_.formatName, sizeof request_.formatName);
    settingsText = FieldText(request_.settingsText, sizeof request_.settingsText);
    return true;
}

void JobDriver::DescribeLayout(const ScanPage& page, bool continueFile) {
    image_ = ScanImage{};
    image_.samplesPerPixel = page.samplesPerPixel;
    image_.bitsPerPixel = page.bitsPerPixel;
    image_.colorKind = page.colorKind;
    image_.unsupportedLayout = 0;
    image_.continueFile = continueFile ? 1 : 0;
}

bool JobDriver::WritePage(const ScanPage& page, PageRows& rows, bool continueFile, const PageDelivery& geometry,
                          JobFailure& failure) {
    target_.image = &image_;
    DescribeLayout(page, continueFile);
    if (!Run(CmdPreparePage, "CmdPreparePage", failure)) {
        return false;
    }
    image_.xResolution = geometry.xResolution;
    image_.yResolution = geometry.yResolution;
    image_.width = page.image.width;
    image_.rows = geometry.announcedRows != 0 ? geometry.announcedRows : page.image.height;
    if (!Run(CmdBeginPage, "CmdBeginPage", failure)) {
        return false;
    }
    if (page.colorKind == ColorPalette && !WritePalette(page, failure)) {
        return false;
    }
    return WriteBands(page, rows, geometry.bandRows, failure) && Run(CmdEndPage, "CmdEndPage", failure);
}

bool JobDriver::WritePalette(const ScanPage& page, JobFailure& failure) {
    std::vector<uint8_t> record = LayOutPaletteRecord(page.image.palette);
    // The palette form is read as bytes through the image pointer.
    target_.image = reinterpret_cast<ScanImage*>(record.data());
    const bool written = Run(CmdWritePalette, "CmdWritePalette", failure);
    target_.image = &image_;
    return written;
}

bool JobDriver::WriteBands(const ScanPage& page, PageRows& rows, uint32_t bandRows, JobFailure& failure) {
    if (bandRows == kAutomaticBandRows) {
        bandRows = DefaultBandRows(SourceRowStride(page));
    }
    if (rows.OpenEnded()) {
        return WriteBandsUntilEnd(page, rows, bandRows, failure);
    }
    const uint32_t height = page.image.height;
    const uint32_t rowsPerBand = bandRows == 0 ? height : std::min(bandRows, height);
    const uint32_t bandCount = (height + rowsPerBand - 1) / rowsPerBand;
    BandBuffer band(page);
    for (uint32_t first = 0; first < height; first += rowsPerBand) {
        const uint32_t count = std::min(rowsPerBand, height - first);
        band.Prepare(first, count);
        rows.ReadRows(band.Row(0), count, band.RowBytes());
        if (!WriteBand(page, band, count, failure)) {
            return false;
        }
        progress_.BandWritten(first / rowsPerBand + 1, bandCount, first + count, height);
    }
    return true;
}

// Bands of `bandRows` rows (the announced height when 0) until the source
// ends the page; the last band holds the rows that came, and a page may end
// up shorter or taller than it was announced.
bool JobDriver::WriteBandsUntilEnd(const ScanPage& page, PageRows& rows, uint32_t bandRows, JobFailure& failure) {
    const uint32_t rowsPerBand = std::max<uint32_t>(1, bandRows == 0 ? page.image.height : bandRows);
    BandBuffer band(page);
    uint32_t done = 0;
    for (uint32_t bandNumber = 1;; ++bandNumber) {
        band.Prepare(done, rowsPerBand);
        uint32_t count = 0;
        while (count < rowsPerBand && rows.ReadRowIfAny(band.Row(count))) {
            ++count;
        }
        if (count == 0 || !WriteBand(page, band, count, failure)) {
            return count == 0;
        }
        done += count;
        progress_.BandWritten(bandNumber, 0, done, 0);
        if (count < rowsPerBand) {
            return true;
        }
    }
}

bool JobDriver::WriteBand(const ScanPage& page, const BandBuffer& band, uint32_t rowCount, JobFailure& failure) {
    image_.width = page.image.width;
    image_.rows = rowCount;
    image_.pixels = band.Pixels();
    if (page.colorKind == ColorBilevel) {
        image_.yResolution = band.RowBytes();
    }
    const bool written = Run(CmdWriteBand, "CmdWriteBand", failure);
    image_.pixels = nullptr;
    return written;
}

uint16_t JobDriver::EndJob() {
    target_.image = &image_;
    return plugin_.Call(CmdEndJob, request_);
}
