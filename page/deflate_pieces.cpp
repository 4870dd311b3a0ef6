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

PluginStatus CodeWholePieces(DeflateEncoder& coder, const uint8_t* bytes, uint64_t pieces, CodeBuffer& out) {
    for (uint64_t piece = 0; piece < pieces; ++piece) {
        const PluginStatus status = coder.CodePiece(bytes + piece * kDeflatePieceBytes, kDeflatePieceBytes, false, out);
        if (status != StatusOk) return status;
    }
    return StatusOk;
}

// Whole pieces coded into memory, on a thread of their own or not.
struct PiecesToMemory {
    DeflateEncoder* coder;
    const uint8_t* bytes;
    uint64_t pieces;
    uint8_t* code;
    uint32_t codeCapacity;
    // Results
    uint32_t codeBytes;
    uint32_t checksum;
    PluginStatus status;
};

DWORD WINAPI CodePiecesToMemory(LPVOID parameter) {
    PiecesToMemory& part = *static_cast<PiecesToMemory*>(parameter);
    NoRoomSink noRoom;
    CodeBuffer out(part.code, part.codeCapacity, noRoom);
    part.checksum = DeflateChecksum::OfRun(part.bytes, static_cast<size_t>(part.pieces * kDeflatePieceBytes));
    part.status = CodeWholePieces(*part.coder, part.bytes, part.pieces, out);
    part.codeBytes = out.used();
    return 0;
}

}  // namespace

PluginStatus DeflatePieces::Start(uint8_t* pieceMemory) {
    Release();
    piece_ = pieceMemory;
    return coders_[0].Start();
}

PluginStatus DeflatePieces::Code(const uint8_t* bytes, uint64_t count, CodeBuffer& out) {
    if (!coders_[0].started()) return StatusBadSequence;
    if (!begun_) {
        const PluginStatus status = PutDeflateHeader(out);
        if (status != StatusOk) return status;
        begun_ = true;
    }
    const uint32_t taken = ContinuePiece(bytes, count);
    bytes += taken;
    count -= taken;
    const bool pieceComplete = pieceBytes_ == kDeflatePieceBytes;
    if (pieceComplete) pieceBytes_ = 0;
    const uint64_t pieces = count / kDeflatePieceBytes;
    const PluginStatus status = CodePieces(pieceComplete, bytes, pieces, out);
    if (status != StatusOk) return status;
    KeepTail(bytes + pieces * kDeflatePieceBytes, static_cast<uint32_t>(count % kDeflatePieceBytes));
    return StatusOk;
}

PluginStatus DeflatePieces::Finish(CodeBuffer& out) {
    if (!coders_[0].started() || !begun_) return StatusBadSequence;
    PluginStatus status = coders_[0].CodePiece(piece_, pieceBytes_, true, out);
    if (status == StatusOk) status = checksum_.PutTrailer(out);
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
    begun_ = false;
    checksum_.Reset();
}

// Copies the band's first bytes to the piece under way, as many as it
// lacks; returns how many.
uint32_t DeflatePieces::ContinuePiece(const uint8_t* bytes, uint64_t count) {
    if (pieceBytes_ == 0) return 0;
    const uint32_t taken = static_cast<uint32_t>(std::min<uint64_t>(count, kDeflatePieceBytes - pieceBytes_));
    checksum_.Append(DeflateChecksum::OfRun(bytes, taken), taken);
    std::copy(bytes, bytes + taken, piece_ + pieceBytes_);
    pieceBytes_ += taken;
    return taken;
}

// The piece just completed (if `pieceComplete`) and the band's whole pieces:
// a second share on another thread when it can be had, after the first share
// otherwise.
PluginStatus DeflatePieces::CodePieces(bool pieceComplete, const uint8_t* bytes, uint64_t pieces, CodeBuffer& out) {
    const uint64_t firstShare = FirstThreadPieces(pieceComplete ? kDeflatePieceBytes : 0, pieces);
    const uint64_t secondPieces =
        firstShare < pieces && PrepareSecondShare(pieces - firstShare) ? pieces - firstShare : 0;
    const uint64_t firstPieces = pieces - secondPieces;
    PiecesToMemory second{&coders_[1],
                          bytes + firstPieces * kDeflatePieceBytes,
                          secondPieces,
                          secondCode_,
                          static_cast<uint32_t>(secondCodeBytes_),
                          0,
                          1,
                          StatusOk};
    HANDLE thread = secondPieces > 0 ? CreateThread(nullptr, 0, CodePiecesToMemory, &second, 0, nullptr) : nullptr;

    checksum_.Append(DeflateChecksum::OfRun(bytes, static_cast<size_t>(firstPieces * kDeflatePieceBytes)),
                     firstPieces * kDeflatePieceBytes);
    PluginStatus status = StatusOk;
    if (pieceComplete) status = coders_[0].CodePiece(piece_, kDeflatePieceBytes, false, out);
    if (status == StatusOk) status = CodeWholePieces(coders_[0], bytes, firstPieces, out);
    if (thread != nullptr) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    } else if (secondPieces > 0 && status == StatusOk) {
        CodePiecesToMemory(&second);
    }
    if (status != StatusOk || secondPieces == 0) return status;
    if (second.status != StatusOk) return second.status;
    checksum_.Append(second.checksum, secondPieces * kDeflatePieceBytes);
    return out.Pass(secondCode_, second.codeBytes);
}

// The band ends within a new piece: its bytes wait for the next band.
void DeflatePieces::KeepTail(const uint8_t* bytes, uint32_t count) {
    if (count == 0) return;
    checksum_.Append(DeflateChecksum::OfRun(bytes, count), count);
    std::copy(bytes, bytes + count, piece_);
    pieceBytes_ = count;
}

bool DeflatePieces::PrepareSecondShare(uint64_t pieces) {
    const uint64_t codeBytes = pieces * kDeflatePieceCodeBound;
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
