// Free-space queries: the real volume, injected values, an unknown volume
// and the cluster-based fallback found through the system module.
#include <sys/statvfs.h>

#include <string>

#include "platform/win32.h"
#include "platform_test_support.h"

namespace {

using test_support::ScratchDirectory;

typedef BOOL (*ExtendedQuery)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);

class FreeSpaceTest : public test_support::PlatformTest {
protected:
    // What a caller gets the way the plug-in asks: the extended query looked
    // up by name, else the cluster geometry.
    static bool QueryFree(const char* root, uint64_t* bytes) {
        FARPROC found = GetProcAddress(GetModuleHandleA("KERNEL32.DLL"), "GetDiskFreeSpaceExA");
        if (found != nullptr) {
            auto query = reinterpret_cast<ExtendedQuery>(reinterpret_cast<void (*)()>(found));
            ULARGE_INTEGER available{}, total{}, free{};
            if (!query(root, &available, &total, &free)) return false;
            *bytes = free.QuadPart;
            return true;
        }
        DWORD sectors = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
        if (!GetDiskFreeSpaceA(root, &sectors, &bytesPerSector, &freeClusters, &totalClusters)) return false;
        *bytes = uint64_t{sectors} * bytesPerSector * freeClusters;
        return true;
    }

    ScratchDirectory scratch{"zeduz-platform-"};
};

TEST_F(FreeSpaceTest, RealVolumeMatchesStatvfs) {
    struct statvfs info {};
    ASSERT_EQ(0, statvfs(scratch.path().c_str(), &info));
    ULARGE_INTEGER available{}, total{}, free{};
    ASSERT_TRUE(GetDiskFreeSpaceExA(scratch.path().c_str(), &available, &total, &free));
    const uint64_t unit = info.f_frsize;
    EXPECT_EQ(uint64_t{info.f_blocks} * unit, total.QuadPart);
    // Other processes write meanwhile: allow a little drift.
    EXPECT_NEAR(static_cast<double>(uint64_t{info.f_bfree} * unit), static_cast<double>(free.QuadPart), 64e6);
    EXPECT_LE(available.QuadPart, free.QuadPart);
}

TEST_F(FreeSpaceTest, AcceptsFilesAndNotYetCreatedFiles) {
    uint64_t forDirectory = 0, forNewFile = 0;
    ASSERT_TRUE(QueryFree(scratch.path().c_str(), &forDirectory));
    ASSERT_TRUE(QueryFree(scratch.file("not-yet.tif").c_str(), &forNewFile));
    EXPECT_NEAR(static_cast<double>(forDirectory), static_cast<double>(forNewFile), 64e6);
}

TEST_F(FreeSpaceTest, InjectedAndUnknownSpaceThroughBothQueries) {
    struct Case {
        const char* what;
        std::optional<uint64_t> injected;
        bool extendedAvailable;
        bool succeeds;
        uint64_t expected;
    };
    const std::vector<Case> cases = {
        {"extended, exact", 123456789, true, true, 123456789},
        {"clusters, 4 KiB multiple", 40960, false, true, 40960},
        {"clusters, odd count", 12345, false, true, 12345},
        {"clusters, zero", 0, false, true, 0},
        {"extended, above 4 GiB", 0x500000000ULL, true, true, 0x500000000ULL},
        {"clusters, above 4 GiB", 0x500000000ULL, false, true, 0x500000000ULL},
        {"extended, unknown", std::nullopt, true, false, 0},
        {"clusters, unknown", std::nullopt, false, false, 0},
    };
    for (const Case& c : cases) {
        platform::testing::SetFreeSpace(c.injected);
        platform::testing::SetExtendedFreeSpaceQueryAvailable(c.extendedAvailable);
        uint64_t bytes = 0;
        EXPECT_EQ(c.succeeds, QueryFree(scratch.path().c_str(), &bytes)) << c.what;
        if (c.succeeds) {
            EXPECT_EQ(c.expected, bytes) << c.what;
        }
    }
}

TEST_F(FreeSpaceTest, ClusterCountsClampToThirtyTwoBits) {
    platform::testing::SetFreeSpace(0x7FFFFFFFFFFFULL);  // too many clusters even at 4 KiB
    DWORD sectors = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    ASSERT_TRUE(GetDiskFreeSpaceA("/", &sectors, &bytesPerSector, &freeClusters, &totalClusters));
    EXPECT_EQ(0xFFFFFFFFu, freeClusters);
    EXPECT_EQ(4096u, sectors * bytesPerSector);
}

TEST_F(FreeSpaceTest, SystemModuleLookup) {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    ASSERT_NE(nullptr, kernel);
    EXPECT_EQ(kernel, GetModuleHandleA("KERNEL32.DLL"));
    EXPECT_NE(nullptr, GetProcAddress(kernel, "GetDiskFreeSpaceExA"));
    EXPECT_EQ(nullptr, GetProcAddress(kernel, "NoSuchFunction"));
    platform::testing::SetExtendedFreeSpaceQueryAvailable(false);
    EXPECT_EQ(nullptr, GetProcAddress(kernel, "GetDiskFreeSpaceExA"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PROC_NOT_FOUND), GetLastError());
}

}  // namespace
