// The fax coders' bit writer (Group 4, and Group 3 beside it): appends code
// words most significant bit first to an output area, four complete bytes at
// a time.
//
// Between calls of the coder the bits that do not fill a byte live in the
// coder state (high-order bits of `bits`, `freeBits` positions free); the
// writer takes them over on construction and gives them back in Finish, so
// the output is the same whether rows are coded one at a time or many in a
// row.
#pragma once

#include <cstdint>
#include <cstring>

#include "tiff/g4_coder_state.h"
#include "tiff/g4_tables.h"

class G4BitWriter {
public:
    // Writes from out[count] on; the pending bits of `coder` come first.
    G4BitWriter(const G4CoderState& coder, uint8_t* out, uint32_t count);

    // Appends the low `length` (1 to 16) bits of `code`.
    void PutBits(uint32_t code, uint32_t length) { Append(code & ((1u << length) - 1), length); }
    void Put(const CodeEntry& entry) { Append(entry.code, entry.length); }
    // Appends 0 bits until the next bit is bit `position` (0 = the most
    // significant) of a byte.
    void PadTo(uint32_t position) {
        const uint32_t fill = (position + 8 - pendingCount_ % 8) % 8;
        if (fill != 0) Append(0, fill);
    }

    // Appends the make-up and terminating codes of `run` (0 or more) from
    // the colour's table; every run ends with a terminating code.
    void PutRun(uint32_t run, const CodeEntry* table) {
        if (run >= 64) PutMakeUp(run, table);
        Put(table[run]);
    }

    // Complete bytes written to the output area so far (its count), not
    // counting up to 31 bits still held.
    uint32_t count() const { return count_; }
    // Starts writing at out[0] again, after the caller took the bytes.
    void Rewind() { count_ = 0; }

    // Ends the writer's use. Writes every complete byte, returns the bits
    // of a last partial byte to `coder` and returns the output count.
    uint32_t Finish(G4CoderState& coder);
    // Ends the writer's use. Writes every bit, the last byte padded with 0
    // bits, leaves `coder` empty and returns the output count.
    uint32_t Flush(G4CoderState& coder);

private:
    // `code` has no bits above `length`.
    void Append(uint32_t code, uint32_t length) {
        pending_ = (pending_ << length) | code;
        pendingCount_ += length;
        if (pendingCount_ >= 32) StoreWord();
    }
    void StoreWord() {
        pendingCount_ -= 32;
        uint32_t word = static_cast<uint32_t>(pending_ >> pendingCount_);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        word = __builtin_bswap32(word);
#endif
        std::memcpy(out_ + count_, &word, 4);
        count_ += 4;
    }
    void PutMakeUp(uint32_t& run, const CodeEntry* table) {
        while (run >= 2624) {  // 2560 + 64: what is left still needs a make-up code
            Put(table[kLargestMakeUpRow]);
            run -= 2560;
        }
        if (run >= 64) {
            const CodeEntry& makeUp = table[kLastTerminatingRow + run / 64];
            Put(makeUp);
            run -= static_cast<uint32_t>(makeUp.run);
        }
    }
    void StoreWholeBytes();

    uint64_t pending_ = 0;       // the low pendingCount_ bits are not yet written
    uint32_t pendingCount_ = 0;  // below 32 between calls
    uint8_t* out_;
    uint32_t count_;
};
