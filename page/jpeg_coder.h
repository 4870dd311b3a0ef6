// JPEG strips of 8-bit grey and 24-bit colour pages (tiff/jpeg_strip_coder.h),
// with the memory the coder works in: one strip's rows and a code buffer,
// a global-memory block kept from band to band (and so from command to
// command) until the page ends. Bands go to the coder as the host lays them
// out (R, G, B rows padded to 4 bytes, or grey rows); it reads them in
// place. Each strip's size goes to the page file's StripCounts as the strip
// ends; the directory follows the strips and is laid out at the page's end.
#pragma once

#include <cstdint>

#include "page/page_coder.h"
#include "page/side_thread.h"
#include "tiff/jpeg_strip_coder.h"

class JpegCoder final : public PageCoder {
public:
    JpegCoder() = default;
    JpegCoder(const JpegCoder&) = delete;
    JpegCoder& operator=(const JpegCoder&) = delete;
    ~JpegCoder() override { Reset(); }

    void Reset() override;
    // StatusBadSequence for a page not begun by this coder, else the strip
    // coder's status.
    PluginStatus CodeBand(const BandRows& band, const StripShape& shape, CodeSink& sink) override;
    // Only the strips this coder has handed out so far go on.
    bool Continues(uint64_t stripBytes) const override { return begun_ && stripBytes == bytesHanded_; }
    uint64_t RowsInStrip(uint64_t, uint64_t) const override { return coder_.rowsTaken(); }
    // The last, short strip. StatusBadSequence when no row was coded. The
    // coder keeps its tables for LayOutDirectory: its memory goes at Reset.
    PluginStatus Finish(CodeSink& sink) override;
    bool SizedByCode() const override { return true; }

    bool DirectoryFollowsStrips() const override { return true; }
    PluginStatus BeginPage(const PageStart& start) override;
    PluginStatus LayOutDirectory(const TrailingDirectoryRequest& request, TrailingDirectory* directory) override;

    // The code buffer: as the other coders', big enough that the sink (a file
    // write) is called rarely.
    static constexpr uint32_t kCodeBufferBytes = 128 * 1024;

private:
    PluginStatus CodeThrough(CodeSink& sink, bool finish, const BandRows* band);

    SideThread side_;  // codes half of a band's strips beside the calling thread
    JpegStripCoder coder_;
    uint8_t* memory_ = nullptr;     // the strip's rows, then the code buffer and the side's
    uint8_t* directory_ = nullptr;  // the laid-out directory, from LayOutDirectory to Reset
    StripCounts* counts_ = nullptr;
    int32_t format_ = 0;
    uint64_t bytesHanded_ = 0;
    bool begun_ = false;
};
