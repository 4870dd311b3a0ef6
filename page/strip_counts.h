// The byte counts of a page's strips as they end, in a global-memory block
// that grows as strips are added and is kept from command to command until
// the page ends: a page of many strips declares each one's size only in the
// directory written at its end.
#pragma once

#include <cstdint>

#include "base/status.h"

class CodeBuffer;

class StripCounts {
public:
    StripCounts() = default;
    StripCounts(const StripCounts&) = delete;
    StripCounts& operator=(const StripCounts&) = delete;
    ~StripCounts() { Clear(); }

    // False, and the counts as they were, when the block cannot grow.
    bool Append(uint32_t stripBytes);
    // No counts, no memory.
    void Clear();

    const uint32_t* data() const { return counts_; }
    uint32_t size() const { return size_; }

private:
    uint32_t* counts_ = nullptr;
    uint32_t size_ = 0;
    uint32_t capacity_ = 0;
};

// Where a coder says that a strip has ended: `codeAhead` bytes of code past
// what `out` holds now (code that another thread made, handed on next).
class StripEnds {
public:
    virtual PluginStatus StripEnded(const CodeBuffer& out, uint64_t codeAhead) = 0;

protected:
    ~StripEnds() = default;
};
