// Deflate strips: the page's pieces coded on two cores (deflate_pieces.h),
// the piece under way in the block after the code buffer. The threads are
// this coder's alone: nothing else of the page engine knows of them.
#pragma once

#include "page/deflate_pieces.h"
#include "page/stream_coder.h"

class DeflateCoder final : public StreamCoder {
public:
    DeflateCoder();
    ~DeflateCoder() override { ReleaseStream(); }

private:
    PluginStatus StartStream(uint8_t* extra) override { return pieces_.Start(extra, stripBytes()); }
    PluginStatus CodeStrips(const uint8_t* bytes, uint64_t count, CodeBuffer& out, StripEnds& ends) override {
        return pieces_.Code(bytes, count, out, ends);
    }
    PluginStatus FinishStrips(CodeBuffer& out, StripEnds& ends) override { return pieces_.Finish(out, ends); }
    void ReleaseStream() override { pieces_.Release(); }

    DeflatePieces pieces_;
};
