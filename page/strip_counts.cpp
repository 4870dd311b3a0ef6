#include "page/strip_counts.h"

#include <cstring>

#include "memory/global_block.h"

namespace {

// Room for a page of 1,024 JPEG strips before the block first grows.
constexpr uint32_t kFirstCapacity = 1024;

}  // namespace

bool StripCounts::Append(uint32_t stripBytes) {
    if (size_ == capacity_) {
        // A page file stays below 4 GiB, so its strips never come near 2^30.
        if (capacity_ >= (1u << 30)) return false;
        const uint32_t capacity = capacity_ == 0 ? kFirstCapacity : capacity_ * 2;
        uint8_t* grown = AllocateBlock(size_t{capacity} * sizeof(uint32_t));
        if (grown == nullptr) return false;
        if (size_ > 0) std::memcpy(grown, counts_, size_t{size_} * sizeof(uint32_t));
        uint8_t* old = reinterpret_cast<uint8_t*>(counts_);
        ReleaseBlock(old);
        counts_ = reinterpret_cast<uint32_t*>(grown);
        capacity_ = capacity;
    }
    counts_[size_++] = stripBytes;
    return true;
}

void StripCounts::Clear() {
    uint8_t* block = reinterpret_cast<uint8_t*>(counts_);
    ReleaseBlock(block);
    counts_ = nullptr;
    size_ = 0;
    capacity_ = 0;
}
