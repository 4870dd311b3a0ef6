#include "page/stream_coder.h"

#include "memory/global_block.h"
#include "page/strip_rows.h"
#include "tiff/horizontal_predictor.h"
#include "tiff/image_format.h"

namespace {

// Counts what the sink takes.
class CountingSink final : public CodeSink {
public:
    CountingSink(CodeSink& sink, uint64_t* count) : sink_(sink), count_(count) {}
    PluginStatus Append(const uint8_t* bytes, uint32_t count) override {
        const PluginStatus status = sink_.Append(bytes, count);
        if (status == StatusOk) *count_ += count;
        return status;
    }

private:
    CodeSink& sink_;
    uint64_t* count_;
};

}  // namespace

PluginStatus StreamCoder::CodeBand(const BandRows& band, const StripShape& shape, CodeSink& sink) {
    StripRows rows(band, shape);
    if (!rows.ok()) return StatusNoMemory;
    if (UsesPredictor(shape.format, compression_)) {
        const FormatLayout& layout = *FindLayout(shape.format);
        DifferenceRows(rows.bytes(), band.rows, rows.size() / band.rows, layout.samplesPerPixel, layout.bitsPerSample,
                       shape.byteOrder);
    }
    return CodeStripRows(rows.bytes(), rows.size(), band.rows, sink);
}

PluginStatus StreamCoder::CodeStripRows(const uint8_t* rows, uint64_t bytes, uint32_t rowCount, CodeSink& sink) {
    if (!started_) {
        const PluginStatus status = Start();
        if (status != StatusOk) return status;
    }
    CountingSink counted(sink, &bytesHanded_);
    CodeBuffer out(buffer_, kCodeBufferBytes, counted);
    rowBytes_ = rowCount == 0 ? 0 : bytes / rowCount;
    PluginStatus status = CodeStream(rows, bytes, out);
    if (status == StatusOk) status = out.Flush();
    if (status == StatusOk) rowsCoded_ += rowCount;
    return status;
}

PluginStatus StreamCoder::Finish(CodeSink& sink) {
    PluginStatus status = StatusBadSequence;
    if (started_) {
        CountingSink counted(sink, &bytesHanded_);
        CodeBuffer out(buffer_, kCodeBufferBytes, counted);
        status = FinishStream(out);
    }
    Reset();  // ended, whatever the outcome: the stream cannot go on
    return status;
}

void StreamCoder::Reset() {
    ReleaseStream();
    ReleaseBlock(buffer_);
    started_ = false;
    rowsCoded_ = 0;
    bytesHanded_ = 0;
}

PluginStatus StreamCoder::Start() {
    Reset();
    buffer_ = AllocateBlock(kCodeBufferBytes + extraBytes_);
    if (buffer_ == nullptr) return StatusNoMemory;
    const PluginStatus status = StartStream(buffer_ + kCodeBufferBytes);
    if (status == StatusOk) started_ = true;
    return status;
}
