// Where a page coder (Group 4, LZW, Deflate) hands its code bytes, in order,
// as they are produced; the caller decides where they go.
#pragma once

#include <cstdint>

#include "base/status.h"

class CodeSink {
public:
    virtual PluginStatus Append(const uint8_t* bytes, uint32_t count) = 0;

protected:
    ~CodeSink() = default;
};

// A caller-owned area where a coder collects its bytes, handed to the sink
// whenever it fills and when the coder is done, so that a page of any size is
// coded in memory of a fixed size.
class CodeBuffer {
public:
    CodeBuffer(uint8_t* bytes, uint32_t capacity, CodeSink& sink) : bytes_(bytes), capacity_(capacity), sink_(sink) {}

    uint8_t* bytes() const { return bytes_; }
    uint32_t capacity() const { return capacity_; }
    uint32_t used() const { return used_; }
    uint8_t* end() const { return bytes_ + used_; }
    void Advance(uint32_t count) { used_ += count; }
    // Hands what was collected to the sink and empties the area.
    PluginStatus Flush() {
        if (used_ == 0) return StatusOk;
        const PluginStatus status = sink_.Append(bytes_, used_);
        used_ = 0;
        return status;
    }
    // Hands what was collected, then `count` bytes coded elsewhere, to the
    // sink.
    PluginStatus Pass(const uint8_t* bytes, uint32_t count) {
        const PluginStatus status = Flush();
        return status == StatusOk && count > 0 ? sink_.Append(bytes, count) : status;
    }

private:
    uint8_t* bytes_;
    uint32_t capacity_;
    uint32_t used_ = 0;
    CodeSink& sink_;
};
