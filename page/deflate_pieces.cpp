#include "page/deflate_pieces.h"

#include <algorithm>

#include "memory/global_block.h"
#include "platform/win32.h"

namespace {

// Stands for the page file in the second thread: its code must fit in the
// memory given, sized by DeflatePieceCodeBound.
class NoRoomSink final : public CodeSink {
public:
    PluginStatus Append(const uint8_t*, uint32_t) override { return StatusWriteFailed; }
};

// The most a piece's code takes in the second share's memory: the piece,
// and a strip's header and trailer beside it.
constexpr uint64_t kSharedPieceBound = uint64_t{kDeflatePieceCodeBound} + kDeflateHeaderBytes + kDeflateTrailerBytes;

// How many of a band's whole pieces the calling thread codes, after the
// `ahead` bytes it codes first (the piece the band completed): about half
// the bytes, leaving the second thread at least one piece; all of them when
// the calling thread would have less than a quarter of a piece to code, too
// little to be worth a thread.
uint64_t FirstThreadPieces(uint64_t ahead, uint64_t pieces) {
    if (pieces == 0) return 0;
    const uint64_t half = (ahead + pieces * kDeflatePieceBytes) / 2;
    const uint64_t share =
        std::min((half > ahead ? half - ahead + kDeflatePieceBytes / 2 : 0) / kDeflatePieceBytes, pieces - 1);
    return ahead + share * kDeflatePieceBytes < kDeflatePieceBytes / 4 ? pieces : share;
}

// Whole pieces of `count` bytes from a strip offset, at most `most` of them.
struct PieceSpan {
    uint64_t pieces;
    uint64_t bytes;
    uint64_t stripOffset;  // where the bytes after them lie in their strip
};

PieceSpan WholePieces(DeflateStripCursor at, uint64_t count, uint64_t most) {
    PieceSpan span{0, 0, at.offset};
    while (span.pieces < most) {
        at.offset = span.stripOffset;
        const uint32_t length = at.PieceLength();
        if (length > count - span.bytes) break;
        span.bytes += length;
        ++span.pieces;
        span.stripOffset = at.offset + length == at.stripBytes ? 0 : at.offset + length;
    }
    return span;
}

// What is done at a strip's end, after its last piece.
class StripEnd {
public:
    virtual PluginStatus End(const DeflateStripCursor& cursor, CodeBuffer& out) = 0;

protected:
    ~StripEnd() = default;
};

// The calling thread's: the trailer, and the strip's end told.
class TrailerToSink final : public StripEnd {
public:
    explicit TrailerToSink(StripEnds& ends) : ends_(ends) {}
    PluginStatus End(const DeflateStripCursor& cursor, CodeBuffer& out) override {
        const PluginStatus status = cursor.checksum.PutTrailer(out);
        return status == StatusOk ? ends_.StripEnded(out, 0) : status;
    }

private:
    StripEnds& ends_;
};

// Codes the piece at the cursor from `piece`: the strip's header first, its
// end after its last piece; the cursor moves past it.
PluginStatus CodePieceAt(DeflateEncoder& coder, const uint8_t* piece, DeflateStripCursor& cursor, CodeBuffer& out,
                         StripEnd& end) {
    const uint32_t length = cursor.PieceLength();
    PluginStatus status = StatusOk;
    if (!cursor.headerOut) {
        status = PutDeflateHeader(out);
        if (status != StatusOk) return status;
        cursor.headerOut = true;
    }
    cursor.checksum.Append(DeflateChecksum::OfRun(piece, length), length);
    const bool last = cursor.offset + length == cursor.stripBytes;
    status = coder.CodePiece(piece, length, last, out);
    cursor.offset += length;
    if (status != StatusOk || !last) return status;
    status = end.End(cursor, out);
    cursor.offset = 0;
    cursor.headerOut = false;
    cursor.checksum.Reset();
    return status;
}

PluginStatus CodeWholePieces(DeflateEncoder& coder, const uint8_t* bytes, uint64_t pieces, DeflateStripCursor& cursor,
                             CodeBuffer& out, StripEnd& end) {
    for (uint64_t piece = 0; piece < pieces; ++piece) {
        const uint32_t length = cursor.PieceLength();
        const PluginStatus status = CodePieceAt(coder, bytes, cursor, out, end);
        if (status != StatusOk) return status;
        bytes += length;
    }
    return StatusOk;
}

// Whole pieces coded into memory, on a thread of their own or not.
struct PiecesToMemory {
    DeflateEncoder* coder;
    const uint8_t* bytes;
    uint64_t pieces;
    DeflateStripCursor cursor;  // where the pieces begin; then where they end
    uint64_t* ends;             // room for an end per piece: the code's length after each strip's end
    uint8_t* code;
    uint32_t codeCapacity;
    // Results
    uint32_t codeBytes;
    uint32_t endCount;
    // The strip begun before these pieces, when they end it: the checksum
    // of its bytes among them, and where its trailer goes in the code.
    uint64_t inheritedBytes;
    uint32_t inheritedChecksum;
    uint32_t inheritedTrailerAt;
    PluginStatus status;
};

// The second thread's strip ends, recorded: the trailer of a strip begun
// before its share is written ahead, to be filled in by the calling thread.
class EndsInMemory final : public StripEnd {
public:
    explicit EndsInMemory(PiecesToMemory& part) : part_(part), inheritedFrom_(part.cursor.offset) {}
    PluginStatus End(const DeflateStripCursor& cursor, CodeBuffer& out) override {
        const PluginStatus status = cursor.checksum.PutTrailer(out);
        if (status != StatusOk) return status;
        if (inheritedFrom_ > 0 && part_.endCount == 0) {
            part_.inheritedBytes = cursor.stripBytes - inheritedFrom_;
            part_.inheritedChecksum = cursor.checksum.value();
            part_.inheritedTrailerAt = out.used() - kDeflateTrailerBytes;
        }
        part_.ends[part_.endCount++] = out.used();
        return StatusOk;
    }

private:
    PiecesToMemory& part_;
    uint64_t inheritedFrom_;
};

DWORD WINAPI CodePiecesToMemory(LPVOID parameter) {
    PiecesToMemory& part = *static_cast<PiecesToMemory*>(parameter);
    NoRoomSink noRoom;
    CodeBuffer out(part.code, part.codeCapacity, noRoom);
    EndsInMemory ends(part);
    part.status = CodeWholePieces(*part.coder, part.bytes, part.pieces, part.cursor, out, ends);
    part.codeBytes = out.used();
    return 0;
}

}  // namespace

uint32_t DeflateStripCursor::PieceLength() const {
    return static_cast<uint32_t>(std::min<uint64_t>(kDeflatePieceBytes, stripBytes - offset));
}

PluginStatus DeflatePieces::Start(uint8_t* pieceMemory, uint64_t stripBytes) {
    Release();
    piece_ = pieceMemory;
    cursor_.stripBytes = stripBytes;
    return coders_[0].Start();
}

PluginStatus DeflatePieces::Code(const uint8_t* bytes, uint64_t count, CodeBuffer& out, StripEnds& ends) {
    if (!coders_[0].started()) return StatusBadSequence;
    const uint32_t taken = ContinuePiece(bytes, count);
    bytes += taken;
    count -= taken;
    const bool pieceComplete = pieceBytes_ > 0 && pieceBytes_ == cursor_.PieceLength();
    DeflateStripCursor after = cursor_;
    if (pieceComplete) after.offset = WholePieces(cursor_, pieceBytes_, 1).stripOffset;
    const PieceSpan whole = WholePieces(after, count, UINT64_MAX);
    PluginStatus status = CodePieces(pieceComplete, bytes, whole.pieces, out, ends);
    if (status != StatusOk) return status;
    KeepTail(bytes + whole.bytes, static_cast<uint32_t>(count - whole.bytes));
    return StatusOk;
}

PluginStatus DeflatePieces::Finish(CodeBuffer& out, StripEnds& ends) {
    if (!coders_[0].started()) return StatusBadSequence;
    if (pieceBytes_ == 0 && cursor_.offset == 0 && !cursor_.headerOut) return out.Flush();  // ended with its last byte
    // The strip's last piece, however short (even empty), ends its stream.
    cursor_.stripBytes = cursor_.offset + pieceBytes_;
    TrailerToSink trailer(ends);
    PluginStatus status = CodePieceAt(coders_[0], piece_, cursor_, out, trailer);
    pieceBytes_ = 0;
    if (status == StatusOk) status = out.Flush();
    return status;
}

void DeflatePieces::Release() {
    coders_[0].End();
    coders_[1].End();
    ReleaseBlock(secondCode_);
    secondCodeBytes_ = 0;
    piece_ = nullptr;
    pieceBytes_ = 0;
    cursor_ = DeflateStripCursor{};
}

// Copies the band's first bytes to the piece under way, as many as it
// lacks; returns how many.
uint32_t DeflatePieces::ContinuePiece(const uint8_t* bytes, uint64_t count) {
    if (pieceBytes_ == 0) return 0;
    const uint32_t taken = static_cast<uint32_t>(std::min<uint64_t>(count, cursor_.PieceLength() - pieceBytes_));
    std::copy(bytes, bytes + taken, piece_ + pieceBytes_);
    pieceBytes_ += taken;
    return taken;
}

// The piece just completed (if `pieceComplete`) and the band's whole pieces:
// a second share on another thread when it can be had, after the first share
// otherwise.
PluginStatus DeflatePieces::CodePieces(bool pieceComplete, const uint8_t* bytes, uint64_t pieces, CodeBuffer& out,
                                       StripEnds& ends) {
    const uint64_t firstShare = FirstThreadPieces(pieceComplete ? kDeflatePieceBytes : 0, pieces);
    const uint64_t secondPieces =
        firstShare < pieces && PrepareSecondShare(pieces - firstShare) ? pieces - firstShare : 0;
    const uint64_t firstPieces = pieces - secondPieces;
    DeflateStripCursor first = cursor_;
    if (pieceComplete) first.offset = WholePieces(cursor_, pieceBytes_, 1).stripOffset;
    const PieceSpan split = WholePieces(first, UINT64_MAX, firstPieces);
    DeflateStripCursor secondStart;
    secondStart.stripBytes = cursor_.stripBytes;
    secondStart.offset = split.stripOffset;
    secondStart.headerOut = split.stripOffset > 0;  // the first share (or an earlier band) began the strip
    auto* secondEnds = reinterpret_cast<uint64_t*>(secondCode_);
    const uint64_t endsBytes = secondPieces * sizeof(uint64_t);
    PiecesToMemory second{&coders_[1],
                          bytes + split.bytes,
                          secondPieces,
                          secondStart,
                          secondEnds,
                          secondCode_ + endsBytes,
                          static_cast<uint32_t>(secondPieces > 0 ? secondCodeBytes_ - endsBytes : 0),
                          0,
                          0,
                          0,
                          0,
                          0,
                          StatusOk};
    HANDLE thread = secondPieces > 0 ? CreateThread(nullptr, 0, CodePiecesToMemory, &second, 0, nullptr) : nullptr;

    TrailerToSink trailer(ends);
    PluginStatus status = StatusOk;
    if (pieceComplete) status = CodePieceAt(coders_[0], piece_, cursor_, out, trailer);
    pieceBytes_ = pieceComplete ? 0 : pieceBytes_;
    if (status == StatusOk) status = CodeWholePieces(coders_[0], bytes, firstPieces, cursor_, out, trailer);
    if (thread != nullptr) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    } else if (secondPieces > 0 && status == StatusOk) {
        CodePiecesToMemory(&second);
    }
    if (status != StatusOk || secondPieces == 0) return status;
    if (second.status != StatusOk) return second.status;

    // The strip the shares divide: the trailer the second share wrote ahead
    // gets the checksum of all its bytes; unended, its checksum goes on.
    if (secondStart.offset > 0) {
        const bool ended = second.endCount > 0;
        const uint64_t runBytes = ended ? second.inheritedBytes : second.cursor.offset - secondStart.offset;
        cursor_.checksum.Append(ended ? second.inheritedChecksum : second.cursor.checksum.value(), runBytes);
        if (ended) cursor_.checksum.StoreTrailer(second.code + second.inheritedTrailerAt);
        if (!ended) second.cursor.checksum = cursor_.checksum;
    }
    for (uint32_t end = 0; end < second.endCount && status == StatusOk; ++end)
        status = ends.StripEnded(out, secondEnds[end]);
    cursor_ = second.cursor;
    if (status != StatusOk) return status;
    return out.Pass(second.code, second.codeBytes);
}

// The band ends within a new piece: its bytes wait for the next band.
void DeflatePieces::KeepTail(const uint8_t* bytes, uint32_t count) {
    if (count == 0) return;
    std::copy(bytes, bytes + count, piece_ + pieceBytes_);
    pieceBytes_ += count;
}

bool DeflatePieces::PrepareSecondShare(uint64_t pieces) {
    const uint64_t codeBytes = pieces * (kSharedPieceBound + sizeof(uint64_t));
    if (codeBytes > UINT32_MAX) return false;
    if (!coders_[1].started() && coders_[1].Start() != StatusOk) return false;
    if (codeBytes > secondCodeBytes_) {
        ReleaseBlock(secondCode_);
        secondCodeBytes_ = 0;
        secondCode_ = AllocateBlock(static_cast<size_t>(codeBytes));
        if (secondCode_ == nullptr) return false;
        secondCodeBytes_ = codeBytes;
    }
    return true;
}
