// Which volume a path names, what the free-space query returns, and the two
// room tests built on it.
#include "output/volume_root.h"
#include "output_fixture.h"

namespace output_test {
namespace {

using platform::testing::SetExtendedFreeSpaceQueryAvailable;
using platform::testing::SetFreeSpace;

TEST(VolumeRootTest, WindowsRoots) {
    struct Case {
        const char* path;
        const char* root;
    };
    const Case cases[] = {
        {"C:\\dir\\f.tif", "C:\\"},
        {"C:\\f.tif", "C:\\"},
        {"C:", "C:"},
        {"", ""},
        {"\\\\server\\share\\dir\\f.tif", "\\\\server\\share\\"},
        {"\\\\server\\share\\f.tif", "\\\\server\\share\\"},
        {"\\\\server\\share", "\\\\server\\share\\"},
        {"\\\\server\\share\\", "\\\\server\\share\\"},
        {"\\\\server", "\\\\server\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::string root = "junk";
        ASSERT_TRUE(WindowsVolumeRoot(c.path, root));
        EXPECT_EQ(root, c.root);
    }
    std::string root;
    EXPECT_FALSE(WindowsVolumeRoot(nullptr, root));
}

// A trail byte equal to '\' belongs to its double-byte character and ends
// no name.
TEST_F(OutputTest, WindowsRootsStepOverDoubleByteCharacters) {
    platform::testing::SetLeadBytes({0x81});
    std::string root;
    ASSERT_TRUE(WindowsVolumeRoot("\\\\s\x81\\v\\sh\x81\\e\\dir\\f.tif", root));
    EXPECT_EQ(root, "\\\\s\x81\\v\\sh\x81\\e\\");
}

TEST_F(OutputTest, LinuxRootIsTheDirectoryThatHoldsThePath) {
    std::string root;
    ASSERT_TRUE(VolumeRoot(Path("not-yet.tif").c_str(), root));
    EXPECT_EQ(root, dir_.path() + "/");
    ASSERT_TRUE(VolumeRoot(dir_.path().c_str(), root));
    EXPECT_EQ(root, dir_.path());
    ASSERT_TRUE(VolumeRoot("relative.tif", root));
    EXPECT_EQ(root, "./");
    ASSERT_TRUE(VolumeRoot("/f.tif", root));
    EXPECT_EQ(root, "/");
    EXPECT_FALSE(VolumeRoot("", root));
}

TEST(DirectoryOfTest, KeepsTheClosingSeparator) {
    EXPECT_EQ(DirectoryOf("/a/b/f.tif"), "/a/b/");
    EXPECT_EQ(DirectoryOf("/f.tif"), "/");
    EXPECT_EQ(DirectoryOf("f.tif"), "./");
    EXPECT_EQ(DirectoryOf(nullptr), "./");
}

TEST_F(OutputTest, FreeSpaceReportsTheVolumeOrTheSentinel) {
    std::string file = Path("out.tif");
    SetFreeSpace(123456789012ull);
    EXPECT_EQ(FreeSpace(file.c_str()), 123456789012ull);
    SetFreeSpace(std::nullopt);
    EXPECT_EQ(FreeSpace(file.c_str()), kFreeSpaceUnknown);
    platform::testing::Reset();
    EXPECT_NE(FreeSpace(file.c_str()), kFreeSpaceUnknown);
    EXPECT_EQ(FreeSpace(nullptr), kFreeSpaceUnknown);
}

// The product of the cluster geometry is taken in 64 bits: these volumes
// have more free bytes than 32 bits hold.
TEST_F(OutputTest, WithoutTheExtendedQueryTheClusterGeometryAnswers) {
    std::string file = Path("out.tif");
    SetExtendedFreeSpaceQueryAvailable(false);
    for (uint64_t bytes : {uint64_t{123456789} * 4096, uint64_t{0x100000000} + 512, uint64_t{0}}) {
        SetFreeSpace(bytes);
        EXPECT_EQ(FreeSpace(file.c_str()), bytes);
    }
    SetFreeSpace(std::nullopt);
    EXPECT_EQ(FreeSpace(file.c_str()), kFreeSpaceUnknown);
}

TEST(RoomTest, EqualityIsRoomAndUnknownIsRoom) {
    struct Case {
        uint64_t freeSpace;
        uint64_t needed;
        bool roomOrUnknown;
    };
    const Case cases[] = {
        {100, 100, true},
        {99, 100, false},
        {0, 0, true},
        {kFreeSpaceUnknown, 0, true},
        {kFreeSpaceUnknown, 100, true},
        {0x8000000000000000ull, 1, false},  // negative when read as signed
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.freeSpace << " free, " << c.needed << " needed");
        EXPECT_EQ(RoomOrUnknown(c.freeSpace, c.needed), c.roomOrUnknown);
    }
}

}  // namespace
}  // namespace output_test
