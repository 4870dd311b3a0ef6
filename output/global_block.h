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
