#include "host/scan_source.h"

#include <csignal>
#include <cstdio>
#include <vector>

#include "entry/host_records.h"
#include "host/image.h"
#include "host/row_packing.h"

namespace {

// Set by Ctrl-C; the rows loop cancels the scan when it sees it.
volatile std::sig_atomic_t interrupted = 0;

extern "C" void OnInterrupt(int) { interrupted = 1; }

// Catches Ctrl-C while the pages are scanned; a second Ctrl-C ends the
// program as usual.
class InterruptGuard {
public:
    InterruptGuard() {
        interrupted = 0;
        struct sigaction action = {};
        action.sa_handler = OnInterrupt;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previous_);
    }
    ~InterruptGuard() { sigaction(SIGINT, &previous_, nullptr); }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    struct sigaction previous_ = {};
};

std::string Lost(uint32_t page, const std::string& why) {
    // Numbered within this run: with --append the file holds earlier pages too.
    const std::string number = std::to_string(page);
    return "page " + number + " of this scan was not added: " + why + "; the pages before it are kept: scan page " +
           number + " again and add it with --append";
}

std::string FaultText(uint32_t page, SANE_Status status) {
    std::string why;
    switch (status) {
        case SANE_STATUS_JAMMED: why = "the paper jammed"; break;
        case SANE_STATUS_COVER_OPEN: why = "the scanner's cover is open"; break;
        case SANE_STATUS_NO_DOCS: why = "the feeder holds no documents"; break;
        case SANE_STATUS_IO_ERROR: why = "the scanner reported an I/O error"; break;
        case SANE_STATUS_CANCELLED: why = "the scan was cancelled"; break;
        default: why = "the scanner failed"; break;
    }
    return Lost(page, why + " (SANE: " + Sane().strstatus(status) + ")");
}

bool HostIsLittleEndian() {
    const uint16_t one = 1;
    return *reinterpret_cast<const uint8_t*>(&one) == 1;
}

// The page a SANE frame becomes, and how its samples are laid out: 1 = black
// in lineart, 16-bit samples in the host's byte order.
ScanPage MapFrame(const SANE_Parameters& frame, const std::string& device, uint32_t page, SampleFormat& format) {
    if (!frame.last_frame || (frame.format != SANE_FRAME_GRAY && frame.format != SANE_FRAME_RGB)) {
        throw PageFault("page " + std::to_string(page) + ": " + device +
                        " sends colour in three passes, one frame per colour, which would have to be held whole;"
                        " switch three-pass scanning off (for the test backend: --scan-option three-pass=no)");
    }
    const bool rgb = frame.format == SANE_FRAME_RGB;
    if (frame.depth != 8 && frame.depth != 16 && !(frame.depth == 1 && !rgb)) {
        throw PageFault("page " + std::to_string(page) + ": " + device + " sends " + std::to_string(frame.depth) +
                        "-bit " + (rgb ? "colour" : "grey") +
                        " samples; zeduz-tiff takes 1-bit lineart, 8- and 16-bit grey and colour");
    }
    ScanPage scan;
    ImageInfo& image = scan.image;
    image.kind = frame.depth == 1 ? ImageKind::Bilevel : rgb ? ImageKind::Rgb : ImageKind::Gray;
    image.bits = frame.depth;
    image.width = frame.pixels_per_line > 0 ? static_cast<uint32_t>(frame.pixels_per_line) : 0;
    // A page of unknown length (lines = -1) is announced with an A4 page's
    // proportions; it becomes as tall as its rows.
    image.height = frame.lines > 0 ? static_cast<uint32_t>(frame.lines)
                                   : std::max<uint32_t>(1, static_cast<uint32_t>(uint64_t{image.width} * 297 / 210));
    image.heightKnown = frame.lines > 0;
    image.label = device;
    CheckImageSize(image.width, image.height, image.Channels(), image.bits, image.label);
    const uint64_t needed = (static_cast<uint64_t>(image.width) * image.Channels() * image.bits + 7) / 8;
    if (frame.bytes_per_line < 0 || static_cast<uint64_t>(frame.bytes_per_line) < needed) {
        throw PageFault("page " + std::to_string(page) + ": " + device + " announces " +
                        std::to_string(frame.bytes_per_line) + " bytes per line for " + std::to_string(image.width) +
                        " pixels");
    }
    switch (image.kind) {
        case ImageKind::Bilevel: scan.bitsPerPixel = 1, scan.samplesPerPixel = 1, scan.colorKind = ColorBilevel; break;
        case ImageKind::Gray:
            scan.bitsPerPixel = image.bits, scan.samplesPerPixel = 1, scan.colorKind = ColorGray;
            break;
        default: scan.bitsPerPixel = image.bits * 3, scan.samplesPerPixel = 3, scan.colorKind = ColorRgb; break;
    }
    format.encoding = frame.depth == 1       ? SampleEncoding::BitsOneIsBlack
                      : frame.depth == 8     ? SampleEncoding::Bytes
                      : HostIsLittleEndian() ? SampleEncoding::LittleEndian16
                                             : SampleEncoding::BigEndian16;
    format.maxval = frame.depth == 16 ? 65535 : 255;
    return scan;
}

// The rows of one sheet as sane_read delivers them: reads of any size are
// joined into whole lines (one line held at a time), the bytes a line has
// beyond its pixels are dropped, and the page ends at SANE_STATUS_EOF.
class SaneRows final : public PageRows {
public:
    SaneRows(SaneDevice& device, const SANE_Parameters& frame, const ScanPage& page, const SampleFormat& format,
             uint32_t pageNumber)
        : device_(device),
          line_(static_cast<size_t>(frame.bytes_per_line)),
          packer_(page, format),
          pageNumber_(pageNumber) {}

    bool OpenEnded() const override { return true; }

    void ReadRow(uint8_t* out) override {
        if (!ReadRowIfAny(out)) {
            throw PageFault(Lost(pageNumber_, "the scanner ended the page early"));
        }
    }

    bool ReadRowIfAny(uint8_t* out) override {
        if (ended_) {
            return false;
        }
        while (filled_ < line_.size()) {
            if (interrupted) {
                device_.Cancel();
                throw PageFault(Lost(pageNumber_, "interrupted (Ctrl-C)"));
            }
            size_t got = 0;
            const SANE_Status status = device_.Read(line_.data() + filled_, line_.size() - filled_, got);
            if (status == SANE_STATUS_EOF) {
                ended_ = true;  // a partial last line is dropped
                return false;
            }
            if (status != SANE_STATUS_GOOD) {
                device_.Cancel();
                throw PageFault(interrupted ? Lost(pageNumber_, "interrupted (Ctrl-C)")
                                            : FaultText(pageNumber_, status));
            }
            filled_ += got;
        }
        filled_ = 0;
        uint32_t unused = 0;
        packer_.Pack(line_.data(), out, unused);  // SANE samples never exceed the depth's maximum
        return true;
    }

private:
    SaneDevice& device_;
    std::vector<uint8_t> line_;
    size_t filled_ = 0;
    RowPacker packer_;
    uint32_t pageNumber_;
    bool ended_ = false;
};

void SetResolution(SaneDevice& device, const HostOptions& options) {
    if (options.xResolution == options.yResolution && device.HasOption(SANE_NAME_SCAN_RESOLUTION)) {
        device.SetOption(SANE_NAME_SCAN_RESOLUTION, std::to_string(options.xResolution));
        return;
    }
    if (device.HasOption(SANE_NAME_SCAN_X_RESOLUTION) && device.HasOption(SANE_NAME_SCAN_Y_RESOLUTION)) {
        device.SetOption(SANE_NAME_SCAN_X_RESOLUTION, std::to_string(options.xResolution));
        device.SetOption(SANE_NAME_SCAN_Y_RESOLUTION, std::to_string(options.yResolution));
        return;
    }
    // No separate resolutions across and down: SetOption names what there is.
    device.SetOption(
        options.xResolution == options.yResolution ? SANE_NAME_SCAN_RESOLUTION : SANE_NAME_SCAN_X_RESOLUTION,
        std::to_string(options.xResolution));
}

}  // namespace

int ListScanners() {
    const SaneSession session;
    const std::vector<ScannerInfo> devices = session.Devices();
    if (devices.empty()) {
        std::printf("no scanners found\n");
    }
    for (const ScannerInfo& device : devices) {
        std::printf("%s\t%s\n", device.name.c_str(), device.description.c_str());
    }
    return 0;
}

void ApplyScanSettings(SaneDevice& device, const HostOptions& options) {
    const ScanOptions& scan = options.scan;
    if (!scan.source.empty()) {
        device.SetOption(SANE_NAME_SCAN_SOURCE, scan.source);
    }
    if (!scan.mode.empty()) {
        device.SetOption(SANE_NAME_SCAN_MODE, scan.mode);
    }
    if (!scan.depth.empty()) {
        device.SetOption(SANE_NAME_BIT_DEPTH, scan.depth);
    }
    if (options.resolutionGiven) {
        SetResolution(device, options);
    }
    for (const std::string& setting : scan.deviceOptions) {
        const size_t equals = setting.find('=');
        device.SetOption(setting.substr(0, equals), equals == std::string::npos ? "" : setting.substr(equals + 1));
    }
}

bool ScanResolution(const SaneDevice& device, uint32_t& x, uint32_t& y) {
    double across = 0;
    double down = 0;
    if (device.NumberOption(SANE_NAME_SCAN_RESOLUTION, across)) {
        down = across;
    } else if (!device.NumberOption(SANE_NAME_SCAN_X_RESOLUTION, across) ||
               !device.NumberOption(SANE_NAME_SCAN_Y_RESOLUTION, down)) {
        return false;
    }
    if (!(across >= 1 && across <= 1000000 && down >= 1 && down <= 1000000)) {
        return false;
    }
    x = static_cast<uint32_t>(across + 0.5);
    y = static_cast<uint32_t>(down + 0.5);
    return true;
}

ScanSource::ScanSource(SaneDevice& device, bool batch) : device_(device), batch_(batch) {}

bool ScanSource::ForEachPage(const WritePage& write) const {
    const InterruptGuard guard;
    for (uint32_t page = 1;; ++page) {
        if (interrupted) {
            throw PageFault(Lost(page, "interrupted (Ctrl-C)"));
        }
        const SANE_Status started = device_.Start();
        // An empty feeder after the first sheet ends a batch.
        if (started == SANE_STATUS_NO_DOCS && batch_ && page > 1) {
            break;
        }
        SANE_Parameters frame = {};
        const SANE_Status described = started == SANE_STATUS_GOOD ? device_.Parameters(frame) : started;
        if (described != SANE_STATUS_GOOD) {
            device_.Cancel();
            throw PageFault(FaultText(page, described));
        }
        SampleFormat format;
        const ScanPage scanPage = MapFrame(frame, device_.Name(), page, format);
        SaneRows rows(device_, frame, scanPage, format, page);
        if (!write(scanPage, rows)) {
            device_.Cancel();
            return false;
        }
        if (!batch_) {
            break;
        }
    }
    device_.Cancel();
    return true;
}
