#include "page/stream_coder.h"

#include <algorithm>

#include "memory/global_block.h"
#include "page/strip_rows.h"
#include "page/trailing_directory.h"
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

// Strip ends of a coder not begun for a page: nothing to count.
class UncountedEnds final : public StripEnds {
public:
    PluginStatus StripEnded(const CodeBuffer&, uint64_t) override { return StatusOk; }
};

}  // namespace

StreamCoder::~StreamCoder() { ReleaseBlock(directory_); }

PluginStatus StreamCoder::BeginPage(const PageStart& start) {
    Reset();
    const uint64_t rowBytes = StripRowBytes(start.format, start.width);
    if (rowBytes == 0 || start.counts == nullptr) return StatusUnsupportedImage;
    rowsPerStrip_ = BoundedStripRows(start.format, start.width);
    stripBytes_ = rowBytes * rowsPerStrip_;
    start.counts->Clear();
    counts_ = start.counts;
    format_ = start.format;
    return StatusOk;
}

PluginStatus StreamCoder::CodeBand(const BandRows& band, const StripShape& shape, CodeSink& sink) {
    if (counts_ == nullptr || shape.format != format_) return StatusBadSequence;
    StripRows rows(band, shape);
    if (!rows.ok()) return StatusNoMemory;
    if (UsesPredictor(shape.format, compression_)) {
        const FormatLayout& layout = *FindLayout(shape.format);
        DifferenceRows(rows.bytes(), band.rows, rows.size() / band.rows, layout.samplesPerPixel, layout.bitsPerSample,
                       shape.byteOrder);
    }
    // Rows of the page's own width only: the strips are cut in whole rows.
    if (rows.size() != uint64_t{band.rows} * (stripBytes_ / rowsPerStrip_)) return StatusBadRecord;
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
    UncountedEnds uncounted;
    PluginStatus status = CodeStrips(rows, bytes, out, counts_ != nullptr ? static_cast<StripEnds&>(*this) : uncounted);
    if (status == StatusOk) status = out.Flush();
    if (status == StatusOk) {
        rowsCoded_ += rowCount;
        bytesCoded_ += bytes;
    }
    return status;
}

PluginStatus StreamCoder::Finish(CodeSink& sink) {
    PluginStatus status = StatusBadSequence;
    if (started_ && rowsCoded_ > 0) {
        CountingSink counted(sink, &bytesHanded_);
        CodeBuffer out(buffer_, kCodeBufferBytes, counted);
        UncountedEnds uncounted;
        status = FinishStrips(out, counts_ != nullptr ? static_cast<StripEnds&>(*this) : uncounted);
    }
    // The stream cannot go on, whatever the outcome; the page's counts and
    // rows stay for its directory, until Reset.
    ReleaseStream();
    ReleaseBlock(buffer_);
    started_ = false;
    return status;
}

PluginStatus StreamCoder::StripEnded(const CodeBuffer& out, uint64_t codeAhead) {
    const uint64_t end = bytesHanded_ + out.used() + codeAhead;
    const uint64_t size = end - stripCodeStart_;
    if (size >= kOffsetLimit) return StatusWriteFailed;
    stripCodeStart_ = end;
    return counts_->Append(static_cast<uint32_t>(size)) ? StatusOk : StatusNoMemory;
}

PluginStatus StreamCoder::LayOutDirectory(const TrailingDirectoryRequest& request, TrailingDirectory* directory) {
    if (counts_ == nullptr || request.format != format_ || started_) return StatusBadSequence;
    // A page of one strip says its own height, as raw pages do.
    const TrailingLayoutRequest layout{request.format,    true,
                                       request.pageCount, request.firstStripOffset,
                                       request.page,      std::min(rowsPerStrip_, request.page.height),
                                       counts_->data(),   counts_->size(),
                                       nullptr,           0,
                                       compression_,      request.colorMap,
                                       request.flavour};
    return SerializeTrailingDirectory(layout, request.byteOrder, &directory_, directory);
}

void StreamCoder::Reset() {
    ReleaseStream();
    ReleaseBlock(buffer_);
    ReleaseBlock(directory_);
    started_ = false;
    rowsCoded_ = 0;
    bytesHanded_ = 0;
    bytesCoded_ = 0;
    counts_ = nullptr;
    format_ = 0;
    rowsPerStrip_ = 0;
    stripBytes_ = UINT64_MAX;
    stripCodeStart_ = 0;
}

PluginStatus StreamCoder::Start() {
    ReleaseStream();
    ReleaseBlock(buffer_);
    buffer_ = AllocateBlock(kCodeBufferBytes + extraBytes_);
    if (buffer_ == nullptr) return StatusNoMemory;
    const PluginStatus status = StartStream(buffer_ + kCodeBufferBytes);
    if (status == StatusOk) started_ = true;
    return status;
}

PluginStatus SerialStreamCoder::CodeStrips(const uint8_t* bytes, uint64_t count, CodeBuffer& out, StripEnds& ends) {
    uint64_t into = bytesIntoStrip();
    while (count > 0) {
        const uint64_t part = std::min(count, stripBytes() - into);
        PluginStatus status = CodePart(bytes, part, out);
        bytes += part;
        count -= part;
        into += part;
        if (status == StatusOk && into == stripBytes()) {
            status = EndStrip(out);
            if (status == StatusOk) status = ends.StripEnded(out, 0);
            into = 0;
        }
        if (status != StatusOk) return status;
    }
    return StatusOk;
}

PluginStatus SerialStreamCoder::FinishStrips(CodeBuffer& out, StripEnds& ends) {
    if (bytesIntoStrip() == 0) return out.Flush();  // the last strip ended with its last row
    PluginStatus status = EndStrip(out);
    if (status == StatusOk) status = ends.StripEnded(out, 0);
    return status;
}
