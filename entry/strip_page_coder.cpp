#include "entry/strip_page_coder.h"

#include "base/setting_values.h"
#include "output/global_block.h"
#include "tiff/lzw_encoder.h"

namespace {

// Big enough that the sink (a file write) is called rarely, small beside a
// band, and room for the code of any Deflate piece.
constexpr uint32_t kCodeBufferBytes = 128 * 1024;
static_assert(kCodeBufferBytes >= kDeflatePieceCodeBound);

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

PluginStatus StripPageCoder::CodeRows(int32_t compression, const uint8_t* rows, uint64_t bytes, uint32_t rowCount,
                                      CodeSink& sink) {
    if (rowCount == 0) return StatusOk;
    if (compression_ == 0) {
        const PluginStatus status = Start(compression);
        if (status != StatusOk) return status;
    }
    if (compression != compression_) return StatusBadSequence;
    CountingSink counted(sink, &bytesHanded_);
    CodeBuffer out(buffer_, kCodeBufferBytes, counted);
    PluginStatus status = Code(rows, bytes, out);
    if (status == StatusOk) status = out.Flush();
    if (status == StatusOk) rowsCoded_ += rowCount;
    return status;
}

PluginStatus StripPageCoder::FinishPage(CodeSink& sink) {
    if (compression_ == 0) return StatusBadSequence;
    CountingSink counted(sink, &bytesHanded_);
    CodeBuffer out(buffer_, kCodeBufferBytes, counted);
    return compression_ == CompressionLzw ? FinishLzw(*lzw_, out) : deflate_.Finish(out);
}

void StripPageCoder::Release() {
    deflate_.Release();
    uint8_t* lzw = reinterpret_cast<uint8_t*>(lzw_);
    ReleaseBlock(lzw);
    lzw_ = nullptr;
    ReleaseBlock(buffer_);
    compression_ = 0;
    rowsCoded_ = 0;
    bytesHanded_ = 0;
}

PluginStatus StripPageCoder::Start(int32_t compression) {
    Release();
    if (compression != CompressionLzw && compression != CompressionDeflate) return StatusBadSequence;
    // A Deflate page's piece under way lies in the same block, after the
    // code buffer.
    const bool deflate = compression == CompressionDeflate;
    buffer_ = AllocateBlock(kCodeBufferBytes + (deflate ? kDeflatePieceBytes : 0));
    if (buffer_ == nullptr) return StatusNoMemory;
    if (compression == CompressionLzw) {
        lzw_ = reinterpret_cast<LzwState*>(AllocateBlock(sizeof(LzwState)));  // zero-filled, suitably aligned
        if (lzw_ == nullptr) return StatusNoMemory;
        StartLzw(*lzw_);
    } else {
        const PluginStatus status = deflate_.Start(buffer_ + kCodeBufferBytes);
        if (status != StatusOk) return status;
    }
    compression_ = compression;
    return StatusOk;
}

PluginStatus StripPageCoder::Code(const uint8_t* rows, uint64_t bytes, CodeBuffer& out) {
    if (compression_ == CompressionLzw) return EncodeLzw(*lzw_, rows, static_cast<size_t>(bytes), out);
    return deflate_.Code(rows, bytes, out);
}
