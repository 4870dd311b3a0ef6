#include "tiff/deflate_encoder.h"

#include <zlib.h>

#include <new>

PluginStatus DeflateEncoder::Start(int level) {
    End();
    stream_ = new (std::nothrow) z_stream{};
    if (stream_ == nullptr) return StatusNoMemory;
    if (deflateInit2(stream_, level, Z_DEFLATED, MAX_WBITS, 8, Z_RLE) != Z_OK) {
        delete stream_;
        stream_ = nullptr;
        return StatusNoMemory;
    }
    return StatusOk;
}

PluginStatus DeflateEncoder::Encode(const uint8_t* data, size_t count, CodeBuffer& out) {
    if (stream_ == nullptr) return StatusBadSequence;
    while (count > 0) {
        const uInt piece = count > 0x40000000u ? 0x40000000u : static_cast<uInt>(count);
        stream_->next_in = const_cast<Bytef*>(data);
        stream_->avail_in = piece;
        const PluginStatus status = Run(Z_NO_FLUSH, out);
        if (status != StatusOk) return status;
        data += piece;
        count -= piece;
    }
    return StatusOk;
}

PluginStatus DeflateEncoder::Finish(CodeBuffer& out) {
    if (stream_ == nullptr) return StatusBadSequence;
    stream_->next_in = nullptr;
    stream_->avail_in = 0;
    PluginStatus status = Run(Z_FINISH, out);
    if (status == StatusOk) status = out.Flush();
    End();
    return status;
}

void DeflateEncoder::End() {
    if (stream_ == nullptr) return;
    deflateEnd(stream_);
    delete stream_;
    stream_ = nullptr;
}

// Runs zlib until it has taken all its input (and, finishing, written the
// stream's end), flushing the buffer whenever zlib fills it.
PluginStatus DeflateEncoder::Run(int flush, CodeBuffer& out) {
    for (;;) {
        const uInt room = out.capacity() - out.used();
        stream_->next_out = out.end();
        stream_->avail_out = room;
        const int result = deflate(stream_, flush);
        if (result == Z_STREAM_ERROR) return StatusWriteFailed;
        out.Advance(room - stream_->avail_out);
        if (stream_->avail_out == 0) {
            const PluginStatus status = out.Flush();
            if (status != StatusOk) return status;
            continue;  // zlib may hold more output
        }
        if (flush == Z_FINISH ? result == Z_STREAM_END : stream_->avail_in == 0) return StatusOk;
    }
}
