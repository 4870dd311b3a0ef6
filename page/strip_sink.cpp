#include "page/strip_sink.h"

#include "tiff/directory_layout.h"

PluginStatus StripSink::Append(const uint8_t* bytes, uint32_t count) {
    const uint64_t sizeSoFar = stripBytes_ != nullptr ? *stripBytes_ : 0;
    if (sizeSoFar + count >= kOffsetLimit) return StatusWriteFailed;
    if (seekPending_) {
        const PluginStatus status = file_.SeekToEnd();
        if (status != StatusOk) return status;
        seekPending_ = false;
    }
    const PluginStatus status = file_.Write(count, bytes);
    if (status == StatusOk && stripBytes_ != nullptr) *stripBytes_ += count;
    return status;
}
