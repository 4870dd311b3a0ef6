// What the LZW, Deflate and PackBits coders share: a band converted to strip rows
// (and differenced by the horizontal predictor where the page has one),
// coded into a code buffer kept from band to band (and so from command to
// command) until the page ends, and counted as the sink takes it. A page is
// cut into strips of BoundedStripRows rows (the last one shorter), each its
// own stream: a band may end inside a strip, and a strip may span bands and
// commands. Each strip's size goes to the page file's StripCounts as the
// strip ends; the directory follows the strips and is laid out at the
// page's end. A coder not begun for a page (a test's, a benchmark's) codes
// one strip of any size and counts nothing.
#pragma once

#include <cstdint>

#include "page/page_coder.h"
#include "page/strip_counts.h"

class StreamCoder : public PageCoder, protected StripEnds {
public:
    StreamCoder(const StreamCoder&) = delete;
    StreamCoder& operator=(const StreamCoder&) = delete;

    // No stream, no rows, no memory.
    void Reset() override;
    // StatusBadSequence for a page not begun by this coder; StatusNoMemory
    // when the rows' block or the coder's memory cannot be had, or the
    // sink's status.
    PluginStatus CodeBand(const BandRows& band, const StripShape& shape, CodeSink& sink) override;
    // Only the stream this coder has handed out so far goes on.
    bool Continues(uint64_t stripBytes) const override { return stripBytes == bytesHanded_; }
    uint64_t RowsInStrip(uint64_t, uint64_t) const override { return rowsCoded_; }
    // Ends the strip under way. StatusBadSequence when no rows were coded.
    PluginStatus Finish(CodeSink& sink) override;
    bool SizedByCode() const override { return true; }

    bool DirectoryFollowsStrips() const override { return true; }
    // StatusUnsupportedImage for a format without a layout.
    PluginStatus BeginPage(const PageStart& start) override;
    PluginStatus LayOutDirectory(const TrailingDirectoryRequest& request, TrailingDirectory* directory) override;

    // Codes `rowCount` rows of the page as they are, `bytes` in all (what
    // CodeBand does once it has converted and differenced a band).
    PluginStatus CodeStripRows(const uint8_t* rows, uint64_t bytes, uint32_t rowCount, CodeSink& sink);

    // The code buffer: big enough that the sink (a file write) is called
    // rarely, small beside a band, and room for the code of any Deflate
    // piece.
    static constexpr uint32_t kCodeBufferBytes = 128 * 1024;

protected:
    // `extraBytes`: what the stream needs beside the code buffer, in its block.
    StreamCoder(int32_t compression, uint32_t extraBytes) : compression_(compression), extraBytes_(extraBytes) {}
    ~StreamCoder() override;

    // Begins the page's first strip; `extra` is the block's room after the
    // code buffer, kept until ReleaseStream.
    virtual PluginStatus StartStream(uint8_t* extra) = 0;
    // Codes the page's next `count` bytes, ending every strip they complete
    // (its size told to `ends`) and beginning the next.
    virtual PluginStatus CodeStrips(const uint8_t* bytes, uint64_t count, CodeBuffer& out, StripEnds& ends) = 0;
    // Ends the strip under way, if a byte of it was coded, and flushes `out`.
    virtual PluginStatus FinishStrips(CodeBuffer& out, StripEnds& ends) = 0;
    // Frees what the stream holds beside the code buffer.
    virtual void ReleaseStream() = 0;
    // The length of the strip's rows in the bytes being coded.
    uint64_t rowBytes() const { return rowBytes_; }
    // The bytes of a whole strip (UINT64_MAX: one strip for the page).
    uint64_t stripBytes() const { return stripBytes_; }
    // The bytes of the strip under way coded before this call.
    uint64_t bytesIntoStrip() const { return bytesCoded_ % stripBytes_; }

private:
    PluginStatus Start();
    PluginStatus StripEnded(const CodeBuffer& out, uint64_t codeAhead) override;

    const int32_t compression_;  // the page's Compression tag
    const uint32_t extraBytes_;
    bool started_ = false;
    uint8_t* buffer_ = nullptr;
    uint8_t* directory_ = nullptr;  // the laid-out directory, from LayOutDirectory to Reset
    uint32_t rowsCoded_ = 0;
    uint64_t bytesHanded_ = 0;
    uint64_t rowBytes_ = 0;
    uint64_t bytesCoded_ = 0;  // the page's bytes coded so far
    // The page begun (BeginPage): its format, rows per strip and strip sizes.
    StripCounts* counts_ = nullptr;
    int32_t format_ = 0;
    uint32_t rowsPerStrip_ = 0;
    uint64_t stripBytes_ = UINT64_MAX;
    uint64_t stripCodeStart_ = 0;  // where the strip under way begins in the code handed out
};

// A stream coder whose strips are coded one after another on one thread
// (LZW, PackBits): the page's bytes cut at strip ends.
class SerialStreamCoder : public StreamCoder {
protected:
    using StreamCoder::StreamCoder;

    // Codes bytes of the strip under way, none past its end.
    virtual PluginStatus CodePart(const uint8_t* bytes, uint64_t count, CodeBuffer& out) = 0;
    // Ends the strip under way into `out` and begins the next.
    virtual PluginStatus EndStrip(CodeBuffer& out) = 0;

private:
    PluginStatus CodeStrips(const uint8_t* bytes, uint64_t count, CodeBuffer& out, StripEnds& ends) final;
    PluginStatus FinishStrips(CodeBuffer& out, StripEnds& ends) final;
};
