// What the LZW, Deflate and PackBits coders share: a band converted to strip rows
// (and differenced by the horizontal predictor where the page has one),
// coded into a code buffer kept from band to band (and so from command to
// command) until the page ends, and counted as the sink takes it. One strip
// per page: each band's rows continue the strip's one stream.
#pragma once

#include <cstdint>

#include "page/page_coder.h"

class StreamCoder : public PageCoder {
public:
    StreamCoder(const StreamCoder&) = delete;
    StreamCoder& operator=(const StreamCoder&) = delete;

    // No stream, no rows, no memory.
    void Reset() override;
    // StatusNoMemory when the rows' block or the coder's memory cannot be
    // had, or the sink's status.
    PluginStatus CodeBand(const BandRows& band, const StripShape& shape, CodeSink& sink) override;
    // Only the stream this coder has handed out so far goes on.
    bool Continues(uint64_t stripBytes) const override { return stripBytes == bytesHanded_; }
    uint64_t RowsInStrip(uint64_t, uint64_t) const override { return rowsCoded_; }
    // StatusBadSequence when no rows were coded.
    PluginStatus Finish(CodeSink& sink) override;
    bool SizedByCode() const override { return true; }

    // Codes `rowCount` rows of the strip as they are, `bytes` in all (what
    // CodeBand does once it has converted and differenced a band).
    PluginStatus CodeStripRows(const uint8_t* rows, uint64_t bytes, uint32_t rowCount, CodeSink& sink);

    // The code buffer: big enough that the sink (a file write) is called
    // rarely, small beside a band, and room for the code of any Deflate
    // piece.
    static constexpr uint32_t kCodeBufferBytes = 128 * 1024;

protected:
    // `extraBytes`: what the stream needs beside the code buffer, in its block.
    StreamCoder(int32_t compression, uint32_t extraBytes) : compression_(compression), extraBytes_(extraBytes) {}
    ~StreamCoder() override = default;

    // Begins the stream; `extra` is the block's room after the code buffer.
    virtual PluginStatus StartStream(uint8_t* extra) = 0;
    virtual PluginStatus CodeStream(const uint8_t* bytes, uint64_t count, CodeBuffer& out) = 0;
    // Ends the stream and flushes `out`.
    virtual PluginStatus FinishStream(CodeBuffer& out) = 0;
    // Frees what the stream holds beside the code buffer.
    virtual void ReleaseStream() = 0;
    // The length of the strip's rows in the bytes CodeStream is coding.
    uint64_t rowBytes() const { return rowBytes_; }

private:
    PluginStatus Start();

    const int32_t compression_;  // the page's Compression tag
    const uint32_t extraBytes_;
    bool started_ = false;
    uint8_t* buffer_ = nullptr;
    uint32_t rowsCoded_ = 0;
    uint64_t bytesHanded_ = 0;
    uint64_t rowBytes_ = 0;
};
