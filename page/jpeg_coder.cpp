#include "page/jpeg_coder.h"

#include "memory/global_block.h"
#include "page/strip_counts.h"
#include "page/trailing_directory.h"
#include "tiff/image_format.h"
#include "tiff/pixel_convert.h"

namespace {

// The page file's sink, with each strip's end counted into the page's
// StripCounts and every byte counted as handed on.
class CountedStripSink final : public JpegStripSink {
public:
    CountedStripSink(CodeSink& sink, StripCounts& counts, uint64_t* handed)
        : sink_(sink), counts_(counts), handed_(handed) {}
    PluginStatus Append(const uint8_t* bytes, uint32_t count) override {
        const PluginStatus status = sink_.Append(bytes, count);
        if (status == StatusOk) *handed_ += count;
        return status;
    }
    PluginStatus EndStrip(uint32_t stripBytes) override {
        return counts_.Append(stripBytes) ? StatusOk : StatusNoMemory;
    }

private:
    CodeSink& sink_;
    StripCounts& counts_;
    uint64_t* handed_;
};

}  // namespace

void JpegCoder::Reset() {
    coder_.Release();
    side_.Release();
    ReleaseBlock(memory_);
    ReleaseBlock(directory_);
    counts_ = nullptr;
    format_ = 0;
    bytesHanded_ = 0;
    begun_ = false;
}

PluginStatus JpegCoder::BeginPage(const PageStart& start) {
    Reset();
    if (!IsJpegFormat(start.format) || start.counts == nullptr) return StatusUnsupportedImage;
    const uint32_t samples = start.format == FormatRgb24 ? 3 : 1;
    const JpegPageShape shape{start.width, samples, start.quality, JpegStripRows(start.width, samples)};
    PluginStatus status = CheckJpegShape(shape);
    if (status != StatusOk) return status;
    const uint64_t stripRowsBytes = JpegStripBufferBytes(shape);  // at most some 3 MB
    memory_ = AllocateBlock(static_cast<size_t>(stripRowsBytes) + 2 * kCodeBufferBytes);
    if (memory_ == nullptr) return StatusNoMemory;
    uint8_t* code = memory_ + stripRowsBytes;
    status = coder_.Begin(
        shape, {memory_, stripRowsBytes, code, kCodeBufferBytes, &side_, code + kCodeBufferBytes, kCodeBufferBytes});
    if (status != StatusOk) {
        Reset();
        return status;
    }
    start.counts->Clear();
    counts_ = start.counts;
    format_ = start.format;
    begun_ = true;
    return StatusOk;
}

PluginStatus JpegCoder::CodeBand(const BandRows& band, const StripShape& shape, CodeSink& sink) {
    if (!begun_ || shape.format != format_) return StatusBadSequence;
    return CodeThrough(sink, false, &band);
}

PluginStatus JpegCoder::Finish(CodeSink& sink) {
    if (!begun_) return StatusBadSequence;
    if (coder_.rowsTaken() == 0) return StatusBadSequence;
    // The tables and the counts stay for the directory, until Reset.
    return CodeThrough(sink, true, nullptr);
}

PluginStatus JpegCoder::CodeThrough(CodeSink& sink, bool finish, const BandRows* band) {
    CountedStripSink counted(sink, *counts_, &bytesHanded_);
    if (finish) return coder_.Finish(counted);
    return coder_.CodeRows(band->pixels, band->rows, SourceRowStride(format_, band->width, 0), counted);
}

PluginStatus JpegCoder::LayOutDirectory(const TrailingDirectoryRequest& request, TrailingDirectory* directory) {
    if (counts_ == nullptr || request.format != format_) return StatusBadSequence;
    const TrailingLayoutRequest layout{request.format,    true,
                                       request.pageCount, request.firstStripOffset,
                                       request.page,      coder_.rowsPerStrip(),
                                       counts_->data(),   counts_->size(),
                                       coder_.tables(),   coder_.tablesBytes(),
                                       CompressionJpeg,   nullptr,
                                       request.flavour};
    return SerializeTrailingDirectory(layout, request.byteOrder, &directory_, directory);
}
