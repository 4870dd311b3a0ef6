#include "entry/deflate_page_coder.h"

#include <algorithm>

#include "output/global_block.h"
#include "platform/win32.h"

namespace {

// Below two pieces a band is not worth a thread.
constexpr uint64_t kSmallestSharedBand = 2 * uint64_t{kDeflatePieceBytes};

// Stands for the page file in the second thread: its code must fit in the
// memory given, which DeflateCodeBound makes sure of.
class NoRoomSink final : public CodeSink {
public:
    PluginStatus Append(const uint8_t*, uint32_t) override { return StatusWriteFailed; }
};

// The band's second part, coded on its own thread.
struct SecondPart {
    DeflateEncoder* coder;
    const uint8_t* bytes;
    uint64_t count;
    uint64_t stripOffset;
    uint8_t* code;
    uint32_t codeCapacity;
    // Results
    uint32_t codeBytes = 0;
    uint32_t checksum = 0;
    PluginStatus status = StatusOk;
};

DWORD WINAPI CodeSecondPart(LPVOID parameter) {
    SecondPart& part = *static_cast<SecondPart*>(parameter);
    NoRoomSink noRoom;
    CodeBuffer out(part.code, part.codeCapacity, noRoom);
    part.checksum = DeflateChecksum::OfRun(part.bytes, static_cast<size_t>(part.count));
    part.status = part.coder->Encode(part.bytes, static_cast<size_t>(part.count), part.stripOffset, out);
    part.codeBytes = out.used();
    return 0;
}

}  // namespace

PluginStatus DeflatePageCoder::Start() {
    Release();
    return coders_[0].Start();
}

PluginStatus DeflatePageCoder::Code(const uint8_t* bytes, uint64_t count, CodeBuffer& out) {
    if (!coders_[current_].started()) return StatusBadSequence;
    if (stripBytes_ == 0) {
        const PluginStatus status = PutDeflateHeader(out);
        if (status != StatusOk) return status;
    }
    const uint64_t sharePoint = SharePoint(count);
    if (sharePoint < stripBytes_ + count && PrepareSecondPart(stripBytes_ + count - sharePoint))
        return CodeShared(bytes, count, sharePoint, out);
    return CodeAlone(bytes, count, out);
}

PluginStatus DeflatePageCoder::Finish(CodeBuffer& out) {
    PluginStatus status = coders_[current_].FinishLastPiece(out);
    if (status == StatusOk) status = checksum_.PutTrailer(out);
    if (status == StatusOk) status = out.Flush();
    return status;
}

void DeflatePageCoder::Release() {
    coders_[0].End();
    coders_[1].End();
    ReleaseBlock(secondCode_);
    secondCodeBytes_ = 0;
    current_ = 0;
    stripBytes_ = 0;
    checksum_.Reset();
}

uint64_t DeflatePageCoder::SharePoint(uint64_t count) const {
    const uint64_t end = stripBytes_ + count;
    if (count < kSmallestSharedBand) return end;
    const uint64_t middle = stripBytes_ + count / 2;
    const uint64_t point = (middle + kDeflatePieceBytes / 2) / kDeflatePieceBytes * kDeflatePieceBytes;
    return point > stripBytes_ && point < end ? point : end;
}

bool DeflatePageCoder::PrepareSecondPart(uint64_t count) {
    const uint64_t codeBytes = DeflateCodeBound(count);
    if (codeBytes > UINT32_MAX) return false;
    DeflateEncoder& second = coders_[1 - current_];
    if (!second.started() && second.Start() != StatusOk) return false;
    if (codeBytes > secondCodeBytes_) {
        ReleaseBlock(secondCode_);
        secondCodeBytes_ = 0;
        secondCode_ = AllocateBlock(static_cast<size_t>(codeBytes));
        if (secondCode_ == nullptr) return false;
        secondCodeBytes_ = codeBytes;
    }
    return true;
}

PluginStatus DeflatePageCoder::CodeAlone(const uint8_t* bytes, uint64_t count, CodeBuffer& out) {
    checksum_.Append(DeflateChecksum::OfRun(bytes, static_cast<size_t>(count)), count);
    const PluginStatus status = coders_[current_].Encode(bytes, static_cast<size_t>(count), stripBytes_, out);
    stripBytes_ += count;
    return status;
}

// The second part is coded beside the first when a thread can be had, after
// it otherwise; either way its code follows the first part's.
PluginStatus DeflatePageCoder::CodeShared(const uint8_t* bytes, uint64_t count, uint64_t sharePoint, CodeBuffer& out) {
    const uint64_t firstCount = sharePoint - stripBytes_;
    SecondPart second{&coders_[1 - current_],
                      bytes + firstCount,
                      count - firstCount,
                      sharePoint,
                      secondCode_,
                      static_cast<uint32_t>(secondCodeBytes_)};
    HANDLE thread = CreateThread(nullptr, 0, CodeSecondPart, &second, 0, nullptr);

    const uint32_t firstChecksum = DeflateChecksum::OfRun(bytes, static_cast<size_t>(firstCount));
    PluginStatus status = coders_[current_].Encode(bytes, static_cast<size_t>(firstCount), stripBytes_, out);
    if (thread != nullptr) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    } else if (status == StatusOk) {
        CodeSecondPart(&second);
    }
    if (status == StatusOk) status = second.status;
    if (status == StatusOk) status = out.Pass(secondCode_, second.codeBytes);
    checksum_.Append(firstChecksum, firstCount);
    checksum_.Append(second.checksum, second.count);
    stripBytes_ += count;
    current_ = 1 - current_;  // the second coder holds the piece under way
    return status;
}
