// The LZW coder of TIFF strips: codes of 9 to 12 bits, most significant bit
// first; ClearCode (256) at the start of the strip and whenever the table is
// full, EndOfInformation (257) at its end. The code width grows one code
// earlier than the table needs ("early change"), as every TIFF reader
// expects. A strip is coded in as many pieces as the caller likes (one per
// band): the state carries the string being matched, the table and the
// pending bits from one piece to the next.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/status.h"
#include "tiff/code_sink.h"

// The string table, as a hash of (prefix code, next byte) -> code. Slots of
// an older generation are empty: a new table is one increment, not a clear.
inline constexpr uint32_t kLzwSlotBits = 14;
inline constexpr uint32_t kLzwSlots = 1u << kLzwSlotBits;

struct LzwSlot {
    uint32_t key;  // prefix code << 8 | byte
    uint16_t code;
    uint16_t generation;
};

struct LzwState {
    uint64_t bits;        // pending code bits, the oldest highest
    uint32_t bitCount;    // how many of them
    uint32_t codeWidth;   // bits of the next code
    uint32_t nextCode;    // the code the next new string gets
    int32_t prefix;       // the code of the string matched so far; -1 before the strip's first byte
    uint16_t generation;  // of the slots in the table now
    LzwSlot slots[kLzwSlots];
};

// Begins a strip.
void StartLzw(LzwState& state);
// Begins the next strip in a state that ended one (FinishLzw): its table is
// emptied by a new generation rather than cleared.
void RestartLzw(LzwState& state);
// Codes `count` bytes of the strip into `out`, which is flushed to its sink
// whenever it fills. Returns the sink's status.
PluginStatus EncodeLzw(LzwState& state, const uint8_t* data, size_t count, CodeBuffer& out);
// Ends the strip: the last string's code, EndOfInformation and the last
// partial byte (zero-padded), then flushes `out`.
PluginStatus FinishLzw(LzwState& state, CodeBuffer& out);
