#include "memory/global_block.h"

#include "platform/win32.h"

uint8_t* AllocateBlock(size_t bytes) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    if (block == nullptr) return nullptr;
    auto* address = static_cast<uint8_t*>(GlobalLock(block));
    if (address == nullptr) GlobalFree(block);
    return address;
}

void ReleaseBlock(uint8_t*& address) {
    if (address == nullptr) return;
    HGLOBAL block = GlobalHandle(address);
    if (block != nullptr) {
        GlobalUnlock(block);
        GlobalFree(block);
    }
    address = nullptr;
}
