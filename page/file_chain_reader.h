// The output file, open in the page writer's FileHandle, as the directory
// chain walker (tiff/page_chain.h) reads it.
//
// A walk reads a few small pieces of each directory (its entry count, its
// entries, its next-directory field), which lie together: they are served
// from one read of up to kWindowBytes, so that a walk costs about one read
// per directory.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "output/file_handle.h"
#include "tiff/page_chain.h"

class FileChainReader final : public ChainReader {
public:
    explicit FileChainReader(FileHandle& file) : file_(file) {}

    uint64_t Size() override {
        if (size_ == kUnknown) size_ = file_.Size64();
        return size_;
    }

    PluginStatus ReadAt(uint64_t position, uint32_t count, uint8_t* bytes) override {
        if (count > kWindowBytes) return file_.ReadAt(position, count, bytes);
        if (!InWindow(position, count)) {
            const uint64_t size = Size();
            if (size == kUnknown || position >= size || size - position < count) {
                return file_.ReadAt(position, count, bytes);  // the file's own failure
            }
            const uint32_t fill = static_cast<uint32_t>(std::min<uint64_t>(kWindowBytes, size - position));
            PluginStatus status = file_.ReadAt(position, fill, window_);
            if (status != StatusOk) {
                windowBytes_ = 0;
                return status;
            }
            windowStart_ = position;
            windowBytes_ = fill;
        }
        std::memcpy(bytes, window_ + (position - windowStart_), count);
        return StatusOk;
    }

private:
    static constexpr uint32_t kWindowBytes = 4096;
    static constexpr uint64_t kUnknown = UINT64_MAX;

    bool InWindow(uint64_t position, uint32_t count) const {
        return windowBytes_ != 0 && position >= windowStart_ && position - windowStart_ <= windowBytes_ &&
               windowBytes_ - (position - windowStart_) >= count;
    }

    FileHandle& file_;
    uint64_t size_ = kUnknown;
    uint64_t windowStart_ = 0;
    uint32_t windowBytes_ = 0;
    uint8_t window_[kWindowBytes];
};
