// Global memory blocks: zero fill, lock counts, address-to-handle lookup,
// refused handles and allocation failures.
#include <algorithm>
#include <cstring>

#include "platform/win32.h"
#include "platform_test_support.h"

namespace {

using platform::testing::Service;

class GlobalMemoryTest : public test_support::PlatformTest {};

TEST_F(GlobalMemoryTest, MoveableZeroInitialisedBlocksRoundTrip) {
    for (size_t bytes : {size_t{0}, size_t{1}, size_t{17}, size_t{0xFFFF}, size_t{1} << 20}) {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
        ASSERT_NE(nullptr, block) << bytes;
        auto* data = static_cast<uint8_t*>(GlobalLock(block));
        ASSERT_NE(nullptr, data);
        EXPECT_TRUE(std::all_of(data, data + bytes, [](uint8_t b) { return b == 0; })) << bytes;
        EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(data) % 16) << "aligned for any data";
        memset(data, 0xAB, bytes);
        EXPECT_EQ(block, GlobalHandle(data));
        EXPECT_FALSE(GlobalUnlock(block));
        EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetLastError()) << "unlocked, not failed";
        EXPECT_EQ(nullptr, GlobalFree(block));
    }
}

TEST_F(GlobalMemoryTest, LockCountsNest) {
    HGLOBAL block = GlobalAlloc(GHND, 8);
    void* first = GlobalLock(block);
    EXPECT_EQ(first, GlobalLock(block));
    EXPECT_TRUE(GlobalUnlock(block)) << "still locked once";
    EXPECT_FALSE(GlobalUnlock(block));
    EXPECT_FALSE(GlobalUnlock(block));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_LOCKED), GetLastError());
    GlobalFree(block);
}

TEST_F(GlobalMemoryTest, FixedBlockHandleIsItsAddress) {
    HGLOBAL block = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, 32);
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(block, GlobalLock(block));
    EXPECT_EQ(block, GlobalHandle(block));
    EXPECT_EQ(nullptr, GlobalFree(block));
}

TEST_F(GlobalMemoryTest, ForeignAndStaleHandlesAreRefused) {
    int local = 0;
    EXPECT_EQ(nullptr, GlobalHandle(&local));
    EXPECT_EQ(nullptr, GlobalLock(&local));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    HGLOBAL block = GlobalAlloc(GHND, 8);
    void* data = GlobalLock(block);
    EXPECT_EQ(nullptr, GlobalFree(block));
    EXPECT_EQ(block, GlobalFree(block)) << "freed twice: the handle comes back";
    EXPECT_EQ(nullptr, GlobalHandle(data));
}

TEST_F(GlobalMemoryTest, AllocationFailures) {
    platform::testing::FailCalls(Service::Alloc, 1);
    EXPECT_EQ(nullptr, GlobalAlloc(GHND, 16));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
    HGLOBAL block = GlobalAlloc(GHND, 16);
    ASSERT_NE(nullptr, block);
    platform::testing::FailCalls(Service::Alloc, 1);
    EXPECT_EQ(nullptr, GlobalLock(block));
    EXPECT_EQ(3, platform::testing::CallCount(Service::Alloc));
    GlobalFree(block);
    EXPECT_EQ(nullptr, GlobalAlloc(GHND, size_t{1} << 40)) << "beyond any 32-bit process";
}

}  // namespace
