#include "memory_tiff.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>

namespace fuzz {
namespace {

struct MemoryFile {
    const uint8_t* data;
    size_t size;
    size_t position;
};

MemoryFile& FileOf(thandle_t handle) { return *static_cast<MemoryFile*>(handle); }

tmsize_t ReadProc(thandle_t handle, void* buffer, tmsize_t count) {
    MemoryFile& file = FileOf(handle);
    if (count < 0 || file.position >= file.size) return 0;
    size_t n = std::min(static_cast<size_t>(count), file.size - file.position);
    std::memcpy(buffer, file.data + file.position, n);
    file.position += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t WriteProc(thandle_t, void*, tmsize_t) { return 0; }

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
    MemoryFile& file = FileOf(handle);
    uint64_t base = whence == SEEK_CUR ? file.position : whence == SEEK_END ? file.size : 0;
    file.position = static_cast<size_t>(base + offset);
    return file.position;
}

int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t handle) { return FileOf(handle).size; }
int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

// libtiff's errors, counted while a reader runs; warnings are ignored.
thread_local int g_errors = 0;
void CountError(const char*, const char*, va_list) { ++g_errors; }
void IgnoreWarning(const char*, const char*, va_list) {}

class Reader {
public:
    explicit Reader(const Bytes& bytes) : file_{bytes.data(), bytes.size(), 0} {
        TIFFSetErrorHandler(CountError);
        TIFFSetWarningHandler(IgnoreWarning);
        g_errors = 0;
        tiff_ = TIFFClientOpen("memory", "rm", &file_, ReadProc, WriteProc, SeekProc, CloseProc, SizeProc, MapProc,
                               UnmapProc);
    }
    ~Reader() {
        if (tiff_ != nullptr) TIFFClose(tiff_);
    }
    TIFF* tiff() const { return tiff_; }
    bool clean() const { return tiff_ != nullptr && g_errors == 0; }

private:
    MemoryFile file_;
    TIFF* tiff_ = nullptr;
};

void PutShort(Bytes& out, size_t at, uint16_t value, bool bigEndian) {
    out[at + (bigEndian ? 1 : 0)] = static_cast<uint8_t>(value);
    out[at + (bigEndian ? 0 : 1)] = static_cast<uint8_t>(value >> 8);
}

void PutLong(Bytes& out, size_t at, uint32_t value, bool bigEndian) {
    for (int i = 0; i < 4; ++i) out[at + (bigEndian ? 3 - i : i)] = static_cast<uint8_t>(value >> (8 * i));
}

struct Entry {
    uint16_t tag;
    uint16_t type;
    uint32_t value;
};

// A one-strip file around `strip`: the strip at 8, then one directory of
// one-value entries (in tag order), with StripOffsets and StripByteCounts.
Bytes OneStripFile(const Bytes& strip, std::vector<Entry> entries, bool bigEndian) {
    const uint32_t dataOffset = 8;
    const uint32_t directoryOffset = dataOffset + static_cast<uint32_t>((strip.size() + 1) & ~size_t{1});
    entries.push_back({273, 4, dataOffset});
    entries.push_back({279, 4, static_cast<uint32_t>(strip.size())});
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
    const size_t count = entries.size();
    Bytes out(directoryOffset + 2 + 12 * count + 4, 0);
    out[0] = out[1] = bigEndian ? 'M' : 'I';
    PutShort(out, 2, 42, bigEndian);
    PutLong(out, 4, directoryOffset, bigEndian);
    std::memcpy(out.data() + dataOffset, strip.data(), strip.size());
    PutShort(out, directoryOffset, static_cast<uint16_t>(count), bigEndian);
    for (size_t i = 0; i < count; ++i) {
        size_t at = directoryOffset + 2 + 12 * i;
        PutShort(out, at, entries[i].tag, bigEndian);
        PutShort(out, at + 2, entries[i].type, bigEndian);
        PutLong(out, at + 4, 1, bigEndian);
        if (entries[i].type == 3)
            PutShort(out, at + 8, static_cast<uint16_t>(entries[i].value), bigEndian);
        else
            PutLong(out, at + 8, entries[i].value, bigEndian);
    }
    return out;
}

// A little-endian one-strip bilevel file around `strip`: Group 4 (T6Options
// 0), or Group 3 with its T4Options.
Bytes FaxFile(const Bytes& strip, uint32_t width, uint32_t height, uint16_t compression, uint32_t t4Options) {
    return OneStripFile(strip,
                        {{256, 4, width},
                         {257, 4, height},
                         {258, 3, 1},
                         {259, 3, compression},
                         {262, 3, 0},
                         {277, 3, 1},
                         {278, 4, height},
                         {static_cast<uint16_t>(compression == 4 ? 293 : 292), 4, t4Options}},
                        false);
}

bool DecodeFaxStrip(const Bytes& strip, uint32_t width, uint32_t height, uint16_t compression, uint32_t t4Options,
                    Bytes* rows) {
    Bytes file = FaxFile(strip, width, height, compression, t4Options);
    Reader reader(file);
    if (!reader.clean()) return false;
    const size_t rowBytes = (width + 7) / 8;
    rows->assign(rowBytes * height, 0);
    for (uint32_t y = 0; y < height; ++y) {
        if (TIFFReadScanline(reader.tiff(), rows->data() + y * rowBytes, y, 0) != 1) return false;
        if (width % 8 != 0) (*rows)[y * rowBytes + rowBytes - 1] &= static_cast<uint8_t>(0xFF00u >> (width % 8));
    }
    return reader.clean();
}

bool DecodeAllStrips(TIFF* tiff) {
    tmsize_t stripSize = TIFFStripSize(tiff);
    if (stripSize <= 0) return false;
    Bytes buffer(static_cast<size_t>(stripSize));
    for (uint32_t strip = 0; strip < TIFFNumberOfStrips(tiff); ++strip) {
        if (TIFFReadEncodedStrip(tiff, strip, buffer.data(), stripSize) < 0) return false;
    }
    return true;
}

}  // namespace

bool DecodeG4Strip(const Bytes& strip, uint32_t width, uint32_t height, Bytes* rows) {
    return DecodeFaxStrip(strip, width, height, 4, 0, rows);
}

bool DecodeG3Strip(const Bytes& strip, uint32_t width, uint32_t height, uint32_t t4Options, Bytes* rows) {
    return DecodeFaxStrip(strip, width, height, 3, t4Options, rows);
}

bool DecodeCodedStrip(const Bytes& strip, const CodedStrip& format, Bytes* rows) {
    // Grey (BlackIsZero) or RGB: the photometric does not change the bytes.
    const uint16_t photometric = format.samplesPerPixel == 3 ? 2 : 1;
    Bytes file = OneStripFile(strip,
                              {{256, 4, format.width},
                               {257, 4, format.height},
                               {258, 3, format.bitsPerSample},
                               {259, 3, format.compression},
                               {262, 3, photometric},
                               {277, 3, format.samplesPerPixel},
                               {278, 4, format.height},
                               {317, 3, format.predictor}},
                              format.bigEndian);
    Reader reader(file);
    if (!reader.clean()) return false;
    const tmsize_t size = TIFFStripSize(reader.tiff());
    if (size <= 0) return false;
    rows->assign(static_cast<size_t>(size), 0);
    if (TIFFReadEncodedStrip(reader.tiff(), 0, rows->data(), size) != size) return false;
    return reader.clean();
}

bool DecodesAsJpegPage(const Bytes& file, uint32_t width, uint32_t height) {
    Reader reader(file);
    if (!reader.clean()) return false;
    uint32_t fileWidth = 0, fileHeight = 0;
    uint16_t compression = 0, photometric = 0;
    TIFFGetField(reader.tiff(), TIFFTAG_IMAGEWIDTH, &fileWidth);
    TIFFGetField(reader.tiff(), TIFFTAG_IMAGELENGTH, &fileHeight);
    TIFFGetField(reader.tiff(), TIFFTAG_COMPRESSION, &compression);
    TIFFGetField(reader.tiff(), TIFFTAG_PHOTOMETRIC, &photometric);
    if (fileWidth != width || fileHeight != height || compression != COMPRESSION_JPEG) return false;
    if (photometric == PHOTOMETRIC_YCBCR) TIFFSetField(reader.tiff(), TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    return DecodeAllStrips(reader.tiff()) && reader.clean();
}

int ReadablePageCount(const Bytes& file) {
    Reader reader(file);
    if (!reader.clean()) return -1;
    int pages = 0;
    do {
        if (!DecodeAllStrips(reader.tiff()) || !reader.clean()) return -1;
        ++pages;
    } while (TIFFReadDirectory(reader.tiff()) == 1);
    return reader.clean() ? pages : -1;
}

}  // namespace fuzz
