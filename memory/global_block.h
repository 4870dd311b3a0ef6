// Large working buffers: moveable, zero-filled global-memory blocks, locked
// at once. Only the locked address is kept; releasing unlocks and frees the
// block that address belongs to.
#pragma once

#include <cstddef>
#include <cstdint>

// A zero-filled block of `bytes` bytes, or nullptr when it cannot be had.
uint8_t* AllocateBlock(size_t bytes);

// Frees the block `address` belongs to (if any) and sets it to nullptr.
void ReleaseBlock(uint8_t*& address);

// A block held for one scope: allocated on construction (check with
// get() != nullptr), released when the owner goes.
class GlobalBlock {
public:
    explicit GlobalBlock(size_t bytes) : address_(AllocateBlock(bytes)), size_(address_ != nullptr ? bytes : 0) {}
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;
    ~GlobalBlock() { ReleaseBlock(address_); }

    uint8_t* get() const { return address_; }
    size_t size() const { return size_; }

private:
    uint8_t* address_;
    size_t size_;
};
