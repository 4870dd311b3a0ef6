// The primitives on the held handle: each failure gives its own status, and
// the handle is kept or dropped as the callers expect.
#include <functional>

#include "output_fixture.h"

namespace output_test {
namespace {

using platform::testing::FailCalls;

TEST_F(OutputTest, CreateWriteSeekReadRoundTrip) {
    FileHandle file;
    std::string path = Path("page.tmp");
    ASSERT_EQ(file.CreateForWrite(path.c_str()), StatusOk);
    std::vector<uint8_t> bytes = Pattern(300);
    EXPECT_EQ(file.Write(300, bytes.data()), StatusOk);
    EXPECT_EQ(file.Size(), 300u);
    EXPECT_EQ(file.Size64(), 300u);
    EXPECT_EQ(file.Flush(), StatusOk);
    ASSERT_EQ(file.Close(), StatusOk);
    EXPECT_FALSE(file.IsOpen());

    ASSERT_EQ(file.OpenForUpdate(path.c_str()), StatusOk);
    EXPECT_EQ(file.Seek(-100, nullptr, FILE_END), StatusOk);
    std::vector<uint8_t> tail(100);
    EXPECT_EQ(file.Read(100, tail.data()), StatusOk);
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), bytes.begin() + 200));
    EXPECT_EQ(file.Seek(10, nullptr, FILE_BEGIN), StatusOk);
    uint8_t patch[2] = {0xAA, 0xBB};
    EXPECT_EQ(file.Write(2, patch), StatusOk);
    EXPECT_EQ(file.Close(), StatusOk);

    bytes[10] = 0xAA;
    bytes[11] = 0xBB;
    EXPECT_EQ(Contents(path), bytes);
}

TEST_F(OutputTest, OpeningFailuresHaveTheirOwnStatusAndLeaveNothingOpen) {
    struct Case {
        const char* name;
        PluginStatus (FileHandle::*open)(const char*);
        std::string path;
        PluginStatus expected;
    };
    const Case cases[] = {
        {"create in a missing directory", &FileHandle::CreateForWrite, Path("no/such/dir/f.tif"), StatusCreateFailed},
        {"update a missing file", &FileHandle::OpenForUpdate, Path("missing.tif"), StatusOpenFailed},
        {"read a missing file", &FileHandle::OpenForRead, Path("missing.tif"), StatusOpenFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FileHandle file;
        EXPECT_EQ((file.*c.open)(c.path.c_str()), c.expected);
        EXPECT_FALSE(file.IsOpen());
        EXPECT_EQ(file.Close(), StatusCloseFailed);
        EXPECT_EQ((file.*c.open)(nullptr), c.expected);
    }
}

TEST_F(OutputTest, ServiceFailuresBecomeTheFixedStatuses) {
    std::string path = MakeFile("f.tif", Pattern(10));
    uint8_t buffer[10] = {};
    struct Case {
        const char* name;
        Service service;
        std::function<PluginStatus(FileHandle&)> call;
        PluginStatus expected;
    };
    const Case cases[] = {
        {"write", Service::Write, [&](FileHandle& f) { return f.Write(10, buffer); }, StatusWriteFailed},
        {"read", Service::Read, [&](FileHandle& f) { return f.Read(10, buffer); }, StatusReadFailed},
        {"seek", Service::Seek, [&](FileHandle& f) { return f.Seek(0, nullptr, FILE_END); }, StatusSeekFailed},
        {"seek with high part", Service::Seek,
         [&](FileHandle& f) {
             int32_t high = 0;
             return f.Seek(0, &high, FILE_END);
         },
         StatusSeekFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FileHandle file;
        ASSERT_EQ(file.OpenForUpdate(path.c_str()), StatusOk);
        FailCalls(c.service, 1);
        EXPECT_EQ(c.call(file), c.expected);
        EXPECT_EQ(file.Close(), StatusOk);
    }
}

TEST_F(OutputTest, ShortReadAndNegativeSeekFail) {
    std::string path = MakeFile("f.tif", Pattern(10));
    FileHandle file;
    ASSERT_EQ(file.OpenForUpdate(path.c_str()), StatusOk);
    uint8_t buffer[20] = {};
    EXPECT_EQ(file.Read(20, buffer), StatusReadFailed);
    EXPECT_EQ(file.Seek(-1, nullptr, FILE_BEGIN), StatusSeekFailed);
}

TEST_F(OutputTest, WriteOnAFullVolumeFails) {
    FileHandle file;
    ASSERT_EQ(file.CreateForWrite(Path("f.tif").c_str()), StatusOk);
    platform::testing::SetWriteBudget(5);
    std::vector<uint8_t> bytes = Pattern(10);
    EXPECT_EQ(file.Write(10, bytes.data()), StatusWriteFailed);
}

TEST_F(OutputTest, AFailedCloseKeepsTheHandleForAnotherTry) {
    FileHandle file;
    ASSERT_EQ(file.CreateForWrite(Path("f.tif").c_str()), StatusOk);
    FailCalls(Service::Close, 1);
    EXPECT_EQ(file.Close(), StatusCloseFailed);
    EXPECT_TRUE(file.IsOpen());
    EXPECT_EQ(file.Close(), StatusOk);
    EXPECT_FALSE(file.IsOpen());
}

TEST_F(OutputTest, ReopeningClosesTheFileHeldBefore) {
    FileHandle file;
    ASSERT_EQ(file.CreateForWrite(Path("a.tif").c_str()), StatusOk);
    ASSERT_EQ(file.CreateForWrite(Path("b.tif").c_str()), StatusOk);
    // a.tif was released: it can be opened for writing again.
    FileHandle other;
    EXPECT_EQ(other.OpenForUpdate(Path("a.tif").c_str()), StatusOk);
}

TEST_F(OutputTest, TruncateCutsBackAndLeavesThePositionThere) {
    std::string path = MakeFile("f.tif", Pattern(1000));
    FileHandle file;
    ASSERT_EQ(file.OpenForUpdate(path.c_str()), StatusOk);
    EXPECT_EQ(file.Truncate(400), StatusOk);
    EXPECT_EQ(file.Size64(), 400u);
    uint8_t byte = 7;
    EXPECT_EQ(file.Write(1, &byte), StatusOk);
    EXPECT_EQ(file.Close(), StatusOk);
    std::vector<uint8_t> expected = Pattern(400);
    expected.push_back(7);
    EXPECT_EQ(Contents(path), expected);
}

TEST_F(OutputTest, SizeBeyondFourGibibytes) {
    std::string path = MakeSparseFile("big.tif", 0x100000005ull);
    FileHandle file;
    ASSERT_EQ(file.OpenForUpdate(path.c_str()), StatusOk);
    EXPECT_EQ(file.Size64(), 0x100000005ull);
    EXPECT_EQ(file.Size(), 5u);
}

TEST_F(OutputTest, RemoveFile) {
    std::string path = MakeFile("f.tif", Pattern(3));
    EXPECT_EQ(FileHandle::RemoveFile(path.c_str()), StatusOk);
    EXPECT_FALSE(Exists(path));
    EXPECT_EQ(FileHandle::RemoveFile(path.c_str()), StatusDeleteFailed);
    EXPECT_EQ(FileHandle::RemoveFile(nullptr), StatusDeleteFailed);
}

}  // namespace
}  // namespace output_test
