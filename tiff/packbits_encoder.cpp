#include "tiff/packbits_encoder.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint64_t kLongestPiece = 128;               // of a run or a literal
constexpr uint64_t kMostJoining = kLongestPiece - 2;  // a literal a run of two may still join

// The length of the run of equal bytes at `at`, not past `end`.
inline uint64_t RunAt(const uint8_t* row, uint64_t at, uint64_t end) {
    const uint8_t value = row[at];
    uint64_t next = at + 1;
    // Eight bytes at a time where the run is long.
    if (next < end && row[next] == value) {
        uint64_t pattern;
        std::memset(&pattern, value, sizeof pattern);
        while (next + 8 <= end) {
            uint64_t word;
            std::memcpy(&word, row + next, 8);
            if (word != pattern) break;
            next += 8;
        }
    }
    while (next < end && row[next] == value) ++next;
    return next - at;
}

// Where the next run begins: the first byte at or after `at` that equals
// the byte after it, or `end` when there is none.
inline uint64_t NextRunStart(const uint8_t* row, uint64_t at, uint64_t end) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // Eight pairs at a time: the eight bytes from `at` XOR-ed with the eight
    // one further on have a zero byte where a pair is equal; the lowest set
    // bit of the mask below lies in the first such byte.
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    for (; at + 9 <= end; at += 8) {
        uint64_t here, next;
        std::memcpy(&here, row + at, 8);
        std::memcpy(&next, row + at + 1, 8);
        const uint64_t pairs = here ^ next;
        const uint64_t equal = (pairs - kOnes) & ~pairs & (kOnes << 7);
        if (equal != 0) return at + static_cast<uint64_t>(__builtin_ctzll(equal)) / 8;
    }
#endif
    for (; at + 1 < end; ++at)
        if (row[at] == row[at + 1]) return at;
    return end;
}

// Whether the byte at `at` is a run of one.
inline bool IsSingle(const uint8_t* row, uint64_t at, uint64_t end) {
    return at < end && (at + 1 == end || row[at + 1] != row[at]);
}

// Hands out the code of one row's pieces, making room in the buffer for
// each piece before it is written.
class PieceWriter {
public:
    explicit PieceWriter(CodeBuffer& out) : out_(out) {}

    PluginStatus status() const { return status_; }

    void PutLiteral(const uint8_t* bytes, uint64_t count) {
        uint8_t* at = Room();
        if (at == nullptr) return;
        at[0] = static_cast<uint8_t>(count - 1);
        std::memcpy(at + 1, bytes, count);
        out_.Advance(static_cast<uint32_t>(count + 1));
    }

    void PutRun(uint8_t value, uint64_t count) {
        uint8_t* at = Room();
        if (at == nullptr) return;
        at[0] = static_cast<uint8_t>(1 - static_cast<int>(count));
        at[1] = value;
        out_.Advance(2);
    }

private:
    uint8_t* Room() {
        if (status_ != StatusOk) return nullptr;
        if (out_.capacity() - out_.used() < kPackBitsUnitBytes) status_ = out_.Flush();
        return status_ == StatusOk ? out_.end() : nullptr;
    }

    CodeBuffer& out_;
    PluginStatus status_ = StatusOk;
};

// The literal being gathered: its first byte and its length (0: none).
struct Literal {
    uint64_t start = 0;
    uint64_t length = 0;
};

void EndLiteral(PieceWriter& writer, const uint8_t* row, Literal& literal) {
    if (literal.length == 0) return;
    writer.PutLiteral(row + literal.start, literal.length);
    literal.length = 0;
}

// Adds the `count` bytes from `at` on to the literal, ending it whenever it
// reaches 128 bytes.
void AddToLiteral(PieceWriter& writer, const uint8_t* row, Literal& literal, uint64_t at, uint64_t count) {
    while (count > 0) {
        if (literal.length == 0) literal.start = at;
        const uint64_t taken = std::min(count, kLongestPiece - literal.length);
        literal.length += taken;
        at += taken;
        count -= taken;
        if (literal.length == kLongestPiece) EndLiteral(writer, row, literal);
    }
}

// A run at `at` of `count` bytes (2 or more) after which no literal is
// open: runs of 128 from its start, then the rest as a run, or as the first
// byte of a literal when only one is left.
void PutRuns(PieceWriter& writer, const uint8_t* row, Literal& literal, uint64_t at, uint64_t count) {
    for (; count > kLongestPiece; count -= kLongestPiece, at += kLongestPiece) writer.PutRun(row[at], kLongestPiece);
    if (count == 1)
        AddToLiteral(writer, row, literal, at, 1);
    else
        writer.PutRun(row[at], count);
}

void CodeRow(PieceWriter& writer, const uint8_t* row, uint64_t count) {
    Literal literal;
    for (uint64_t at = 0; at < count && writer.status() == StatusOk;) {
        // Every byte before the next run is a run of one.
        const uint64_t runStart = NextRunStart(row, at, count);
        AddToLiteral(writer, row, literal, at, runStart - at);
        if (runStart == count) break;
        const uint64_t run = RunAt(row, runStart, count);
        if (run == 2 && literal.length != 0 && literal.length <= kMostJoining && IsSingle(row, runStart + 2, count)) {
            AddToLiteral(writer, row, literal, runStart, 2);
        } else {
            EndLiteral(writer, row, literal);
            PutRuns(writer, row, literal, runStart, run);
        }
        at = runStart + run;
    }
    EndLiteral(writer, row, literal);
}

}  // namespace

PluginStatus EncodePackBits(const uint8_t* rows, uint64_t rowBytes, uint32_t rowCount, CodeBuffer& out) {
    if (out.capacity() < kPackBitsUnitBytes) return StatusWriteFailed;
    PieceWriter writer(out);
    for (uint32_t y = 0; y < rowCount && writer.status() == StatusOk; ++y)
        CodeRow(writer, rows + y * rowBytes, rowBytes);
    return writer.status();
}
