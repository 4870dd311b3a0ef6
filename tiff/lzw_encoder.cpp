#include "tiff/lzw_encoder.h"

#include <cstring>

namespace {

constexpr uint32_t kClearCode = 256;
constexpr uint32_t kEndCode = 257;
constexpr uint32_t kFirstCode = 258;
constexpr uint32_t kMinWidth = 9;
// The table is restarted when the next code would be 4094, so that no code
// needs more than 12 bits, whichever way a reader changes width.
constexpr uint32_t kTableFullCode = 4094;

uint32_t SlotOf(uint32_t key) { return (key * 0x9E3779B1u) >> (32 - kLzwSlotBits); }

// The coder's working values, kept in locals while a piece is coded.
struct Coder {
    LzwState& state;
    CodeBuffer& out;
    uint64_t bits;
    uint32_t bitCount;
    uint32_t codeWidth;
    uint32_t nextCode;

    Coder(LzwState& s, CodeBuffer& o)
        : state(s), out(o), bits(s.bits), bitCount(s.bitCount), codeWidth(s.codeWidth), nextCode(s.nextCode) {}
    void Save() {
        state.bits = bits;
        state.bitCount = bitCount;
        state.codeWidth = codeWidth;
        state.nextCode = nextCode;
    }

    // Whole bytes of pending bits go to the buffer, which always has room
    // for them: it is flushed before it could not.
    PluginStatus Put(uint32_t code) {
        bits = (bits << codeWidth) | code;
        bitCount += codeWidth;
        if (bitCount < 32) return StatusOk;
        uint8_t* at = out.end();
        bitCount -= 32;
        const uint32_t word = static_cast<uint32_t>(bits >> bitCount);
        at[0] = static_cast<uint8_t>(word >> 24);
        at[1] = static_cast<uint8_t>(word >> 16);
        at[2] = static_cast<uint8_t>(word >> 8);
        at[3] = static_cast<uint8_t>(word);
        out.Advance(4);
        if (out.capacity() - out.used() < 8) return out.Flush();
        return StatusOk;
    }

    void NewTable() {
        nextCode = kFirstCode;
        codeWidth = kMinWidth;
        if (++state.generation == 0) {  // wrapped: every slot's generation could look current
            std::memset(state.slots, 0, sizeof(state.slots));
            state.generation = 1;
        }
    }

    // After each code: the table restarts when full, else the width grows
    // as soon as the next code could need it.
    PluginStatus CountCode() {
        ++nextCode;
        if (nextCode == kTableFullCode) {
            PluginStatus status = Put(kClearCode);
            NewTable();
            return status;
        }
        if (nextCode > (1u << codeWidth) - 1) ++codeWidth;
        return StatusOk;
    }
};

}  // namespace

void StartLzw(LzwState& state) {
    std::memset(&state, 0, sizeof(state));
    state.generation = 1;
    state.codeWidth = kMinWidth;
    state.nextCode = kFirstCode;
    state.prefix = -1;
}

void RestartLzw(LzwState& state) {
    state.bits = 0;
    state.bitCount = 0;
    state.codeWidth = kMinWidth;
    state.nextCode = kFirstCode;
    state.prefix = -1;
    if (++state.generation == 0) StartLzw(state);  // wrapped: every slot's generation could look current
}

PluginStatus EncodeLzw(LzwState& state, const uint8_t* data, size_t count, CodeBuffer& out) {
    if (count == 0) return StatusOk;
    Coder coder(state, out);
    PluginStatus status = StatusOk;
    const uint8_t* end = data + count;
    if (state.prefix < 0) {  // the strip's first byte
        status = coder.Put(kClearCode);
        state.prefix = *data++;
    }
    uint32_t prefix = static_cast<uint32_t>(state.prefix);
    for (; data != end && status == StatusOk; ++data) {
        const uint32_t key = prefix << 8 | *data;
        uint32_t slot = SlotOf(key);
        bool found = false;
        for (;; slot = (slot + 1) & (kLzwSlots - 1)) {
            const LzwSlot& entry = state.slots[slot];
            if (entry.generation != state.generation) break;  // an empty slot: a new string
            if (entry.key == key) {
                found = true;
                break;
            }
        }
        if (found) {
            prefix = state.slots[slot].code;
            continue;
        }
        status = coder.Put(prefix);
        state.slots[slot] = LzwSlot{key, static_cast<uint16_t>(coder.nextCode), state.generation};
        if (status == StatusOk) status = coder.CountCode();
        prefix = *data;
    }
    state.prefix = static_cast<int32_t>(prefix);
    coder.Save();
    return status;
}

PluginStatus FinishLzw(LzwState& state, CodeBuffer& out) {
    Coder coder(state, out);
    PluginStatus status = StatusOk;
    if (state.prefix >= 0) {
        // The reader adds a table entry for this code too, and may widen
        // before it reads EndOfInformation.
        status = coder.Put(static_cast<uint32_t>(state.prefix));
        if (status == StatusOk) status = coder.CountCode();
    } else {
        status = coder.Put(kClearCode);  // an empty strip is still a valid code
    }
    if (status == StatusOk) status = coder.Put(kEndCode);
    // The last bits, padded with zeros to a whole byte.
    while (status == StatusOk && coder.bitCount > 0) {
        const uint32_t take = coder.bitCount >= 8 ? 8 : coder.bitCount;
        coder.bitCount -= take;
        *out.end() = static_cast<uint8_t>((coder.bits >> coder.bitCount) << (8 - take));
        out.Advance(1);
    }
    state.prefix = -1;
    coder.Save();
    if (status == StatusOk) status = out.Flush();
    return status;
}
