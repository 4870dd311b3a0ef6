#include "tiff/g4_bit_writer.h"

G4BitWriter::G4BitWriter(const G4CoderState& coder, uint8_t* out, uint32_t count) : out_(out), count_(count) {
    // A state outside 1..8 free bits cannot come from this writer; treat it
    // as empty rather than shift by a nonsense amount.
    if (coder.freeBits >= 1 && coder.freeBits < 8) {
        pendingCount_ = static_cast<uint32_t>(8 - coder.freeBits);
        pending_ = (coder.bits & 0xFFu) >> coder.freeBits;
    }
}

void G4BitWriter::StoreWholeBytes() {
    while (pendingCount_ >= 8) {
        pendingCount_ -= 8;
        out_[count_++] = static_cast<uint8_t>(pending_ >> pendingCount_);
    }
}

uint32_t G4BitWriter::Finish(G4CoderState& coder) {
    StoreWholeBytes();
    coder.freeBits = static_cast<int32_t>(8 - pendingCount_);
    coder.bits = static_cast<uint32_t>(pending_ << coder.freeBits) & 0xFFu;
    return count_;
}

uint32_t G4BitWriter::Flush(G4CoderState& coder) {
    StoreWholeBytes();
    if (pendingCount_ > 0) {
        out_[count_++] = static_cast<uint8_t>(pending_ << (8 - pendingCount_));
        pendingCount_ = 0;
    }
    coder.bits = 0;
    coder.freeBits = 8;
    return count_;
}
