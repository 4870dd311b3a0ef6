#include "entry/deflate_page_coder.h"

#include <algorithm>

#include "output/global_block.h"
#include "platform/win32.h"

namespace {

// Stands for the page file in the second thread: its code must fit in the
// memory given, sized by DeflatePieceCodeBound.
class NoRoomSink final : public CodeSink {
public:
    PluginStatus Append(const uint8_t*, uint32_t) override { return StatusWriteFailed; }
};

// How many of a band's whole pieces the calling thread codes, after the
// `taken` bytes that completed the piece under way: about half the band's
// bytes; all of them when there are fewer than two.
uint64_t FirstThreadPieces(uint64_t taken, uint64_t pieces) {
    if (pieces < 2) return pieces;
    const uint64_t half = (taken + pieces * kDeflatePieceBytes) / 2;
    const uint64_t share = half > taken ? (half - taken + kDeflatePieceBytes / 2) / kDeflatePieceBytes : 0;
    return std::min(share, pieces - 1);
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
    part.status = StatusOk;
    for (uint64_t piece = 0; piece < part.pieces && part.status == StatusOk; ++piece)
        part.status = part.coder->CodePiece(part.bytes + piece * kDeflatePieceBytes, kDeflatePieceBytes, false, out);
    part.codeBytes = out.used();
    return 0;
}

}  // namespace

PluginStatus DeflatePageCoder::Start(uint8_t* pieceMemory) {
    Release();
    piece_ = pieceMemory;
    return coders_[0].Start();
}

PluginStatus DeflatePageCoder::Code(const uint8_t* bytes, uint64_t count, CodeBuffer& out) {
    if (!coders_[0].started()) return StatusBadSequence;
    PluginStatus status = StatusOk;
    if (!begun_) {
        status = PutDeflateHeader(out);
        if (status != StatusOk) return status;
        begun_ = true;
    }
    const uint8_t* const start = bytes;
    status = ContinuePiece(bytes, count, out);
    if (status != StatusOk) return status;

    // The band's whole pieces: the second half on another thread when there
    // are two or more and it can be had, after the first half otherwise.
    const uint64_t pieces = count / kDeflatePieceBytes;
    const uint64_t firstShare = FirstThreadPieces(static_cast<uint64_t>(bytes - start), pieces);
    const uint64_t secondPieces =
        firstShare < pieces && PrepareSecondHalf(pieces - firstShare) ? pieces - firstShare : 0;
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
    const uint64_t firstBytes = static_cast<uint64_t>(bytes - start) + firstPieces * kDeflatePieceBytes;
    checksum_.Append(DeflateChecksum::OfRun(start, static_cast<size_t>(firstBytes)), firstBytes);
    status = CodeWholePieces(bytes, firstPieces, out);
    if (thread != nullptr) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    } else if (secondPieces > 0 && status == StatusOk) {
        CodePiecesToMemory(&second);
    }
    if (status != StatusOk) return status;
    if (secondPieces > 0) {
        if (second.status != StatusOk) return second.status;
        checksum_.Append(second.checksum, secondPieces * kDeflatePieceBytes);
        status = out.Pass(secondCode_, second.codeBytes);
        if (status != StatusOk) return status;
    }

    // The band ends within a new piece: its bytes wait for the next band.
    const uint64_t tail = count % kDeflatePieceBytes;
    if (tail > 0) {
        const uint8_t* tailBytes = bytes + pieces * kDeflatePieceBytes;
        checksum_.Append(DeflateChecksum::OfRun(tailBytes, static_cast<size_t>(tail)), tail);
        std::copy(tailBytes, tailBytes + tail, piece_);
        pieceBytes_ = static_cast<uint32_t>(tail);
    }
    return StatusOk;
}

PluginStatus DeflatePageCoder::Finish(CodeBuffer& out) {
    if (!coders_[0].started() || !begun_) return StatusBadSequence;
    PluginStatus status = coders_[0].CodePiece(piece_, pieceBytes_, true, out);
    if (status == StatusOk) status = checksum_.PutTrailer(out);
    if (status == StatusOk) status = out.Flush();
    return status;
}

void DeflatePageCoder::Release() {
    coders_[0].End();
    coders_[1].End();
    ReleaseBlock(secondCode_);
    secondCodeBytes_ = 0;
    piece_ = nullptr;
    pieceBytes_ = 0;
    begun_ = false;
    checksum_.Reset();
}

// The bytes that complete the piece are counted in the checksum with the
// band's first half (Code), not here.
PluginStatus DeflatePageCoder::ContinuePiece(const uint8_t*& bytes, uint64_t& count, CodeBuffer& out) {
    if (pieceBytes_ == 0) return StatusOk;
    const uint32_t taken = static_cast<uint32_t>(std::min<uint64_t>(count, kDeflatePieceBytes - pieceBytes_));
    std::copy(bytes, bytes + taken, piece_ + pieceBytes_);
    pieceBytes_ += taken;
    bytes += taken;
    count -= taken;
    if (pieceBytes_ < kDeflatePieceBytes) return StatusOk;
    pieceBytes_ = 0;
    return coders_[0].CodePiece(piece_, kDeflatePieceBytes, false, out);
}

PluginStatus DeflatePageCoder::CodeWholePieces(const uint8_t* bytes, uint64_t pieces, CodeBuffer& out) {
    for (uint64_t piece = 0; piece < pieces; ++piece) {
        const PluginStatus status =
            coders_[0].CodePiece(bytes + piece * kDeflatePieceBytes, kDeflatePieceBytes, false, out);
        if (status != StatusOk) return status;
    }
    return StatusOk;
}

bool DeflatePageCoder::PrepareSecondHalf(uint64_t pieces) {
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
