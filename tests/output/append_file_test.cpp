// Appending a page file onto the open output file: chunking, the free-space
// test before each chunk, and the destination left exactly as it was when
// anything fails.
#include "output_fixture.h"

namespace output_test {
namespace {

using platform::testing::CallCount;
using platform::testing::FailCalls;
using platform::testing::SetFreeSpace;

class AppendFileTest : public OutputTest {
protected:
    void SetUp() override {
        OutputTest::SetUp();
        destination_ = MakeFile("out.tif", old_);
    }
    // Appends `sourceBytes` to the destination, opened as the commit opens it.
    PluginStatus Append(const std::vector<uint8_t>& sourceBytes) {
        std::string source = MakeFile("~TF1.TMP", sourceBytes);
        FileHandle output;
        EXPECT_EQ(output.OpenForUpdate(destination_.c_str()), StatusOk);
        writesBefore_ = CallCount(Service::Write);
        PluginStatus status = output.AppendFile(source.c_str(), destination_.c_str());
        writes_ = CallCount(Service::Write) - writesBefore_;
        EXPECT_EQ(output.Close(), StatusOk);
        EXPECT_EQ(Contents(source), sourceBytes) << "the source is left to the caller";
        return status;
    }
    std::vector<uint8_t> Joined(const std::vector<uint8_t>& tail) const {
        std::vector<uint8_t> all = old_;
        all.insert(all.end(), tail.begin(), tail.end());
        return all;
    }
    std::vector<uint8_t> old_ = Pattern(5198, 3);
    std::string destination_;
    int writesBefore_ = 0;
    int writes_ = 0;
};

TEST_F(AppendFileTest, ChunksOfSixtyFiveThousandFiveHundredThirtyFiveBytes) {
    struct Case {
        size_t size;
        int writes;
    };
    const Case cases[] = {{0, 0}, {1, 1}, {65535, 1}, {65536, 2}, {2 * 65535 + 7, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.size << " bytes");
        destination_ = MakeFile("out.tif", old_);
        std::vector<uint8_t> page = Pattern(c.size, 7);
        EXPECT_EQ(Append(page), StatusOk);
        EXPECT_EQ(writes_, c.writes);
        EXPECT_EQ(Contents(destination_), Joined(page));
    }
}

TEST_F(AppendFileTest, AppendsAtTheEndWhereverThePositionWas) {
    std::string source = MakeFile("~TF1.TMP", Pattern(100, 9));
    FileHandle output;
    ASSERT_EQ(output.OpenForUpdate(destination_.c_str()), StatusOk);
    ASSERT_EQ(output.Seek(10, nullptr, FILE_BEGIN), StatusOk);
    EXPECT_EQ(output.AppendFile(source.c_str(), destination_.c_str()), StatusOk);
    EXPECT_EQ(output.Close(), StatusOk);
    EXPECT_EQ(Contents(destination_), Joined(Pattern(100, 9)));
}

TEST_F(AppendFileTest, ExactRoomPassesAndOneByteShortFails) {
    std::vector<uint8_t> page = Pattern(65536, 5);
    SetFreeSpace(65535);  // enough for each chunk on its own
    EXPECT_EQ(Append(page), StatusOk);
    EXPECT_EQ(Contents(destination_), Joined(page));

    destination_ = MakeFile("out.tif", old_);
    SetFreeSpace(65534);
    EXPECT_EQ(Append(page), StatusDiskFull);
    EXPECT_EQ(Contents(destination_), old_);
}

TEST_F(AppendFileTest, UnknownFreeSpaceReliesOnTheWrites) {
    SetFreeSpace(std::nullopt);
    std::vector<uint8_t> page = Pattern(70000);
    EXPECT_EQ(Append(page), StatusOk);
    EXPECT_EQ(Contents(destination_), Joined(page));

    destination_ = MakeFile("out.tif", old_);
    EXPECT_EQ(Append({}), StatusOk);
    EXPECT_EQ(Contents(destination_), old_);
}

TEST_F(AppendFileTest, AFailureMidwayLeavesTheDestinationAsItWas) {
    struct Case {
        const char* name;
        Service service;
        int skip;
        PluginStatus expected;
    };
    const Case cases[] = {
        {"first write", Service::Write, 0, StatusWriteFailed}, {"second write", Service::Write, 1, StatusWriteFailed},
        {"last write", Service::Write, 2, StatusWriteFailed},  {"first read", Service::Read, 0, StatusReadFailed},
        {"second read", Service::Read, 1, StatusReadFailed},   {"seek to the end", Service::Seek, 0, StatusSeekFailed},
    };
    std::vector<uint8_t> page = Pattern(2 * 65535 + 100, 4);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        destination_ = MakeFile("out.tif", old_);
        platform::testing::Reset();
        FailCalls(c.service, 1, c.skip);
        EXPECT_EQ(Append(page), c.expected);
        EXPECT_EQ(Contents(destination_), old_);
    }
}

TEST_F(AppendFileTest, TheDiskFillingUpMidwayLeavesTheDestinationAsItWas) {
    std::vector<uint8_t> page = Pattern(3 * 65535, 4);
    platform::testing::SetWriteBudget(65535 + 10);
    EXPECT_EQ(Append(page), StatusWriteFailed);
    platform::testing::SetWriteBudget(std::nullopt);
    EXPECT_EQ(Contents(destination_), old_);
}

TEST_F(AppendFileTest, MissingSourceLeavesEverythingAlone) {
    FileHandle output;
    ASSERT_EQ(output.OpenForUpdate(destination_.c_str()), StatusOk);
    EXPECT_EQ(output.AppendFile(Path("missing").c_str(), destination_.c_str()), StatusOpenFailed);
    EXPECT_EQ(output.Close(), StatusOk);
    EXPECT_EQ(Contents(destination_), old_);
}

// On Linux the kernel copies each chunk: no copy buffer to run short of.
TEST_F(AppendFileTest, AppendingTakesNoCopyBuffer) {
    FailCalls(Service::Alloc, 1);
    std::vector<uint8_t> page = Pattern(70000, 2);
    EXPECT_EQ(Append(page), StatusOk);
    EXPECT_EQ(Contents(destination_), Joined(page));
    EXPECT_EQ(CallCount(Service::Alloc), 0);
}

TEST_F(AppendFileTest, TheResultMustFitThirtyTwoBitOffsets) {
    struct Case {
        uint64_t destinationSize;
        PluginStatus expected;
    };
    const Case cases[] = {{0xFFFFFFFEull - 101, StatusOk}, {0xFFFFFFFEull - 100, StatusWriteFailed}};
    std::vector<uint8_t> page = Pattern(101, 6);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.destinationSize);
        destination_ = MakeSparseFile("out.tif", c.destinationSize);
        std::string source = MakeFile("~TF1.TMP", page);
        FileHandle output;
        ASSERT_EQ(output.OpenForUpdate(destination_.c_str()), StatusOk);
        EXPECT_EQ(output.AppendFile(source.c_str(), destination_.c_str()), c.expected);
        EXPECT_EQ(output.Close(), StatusOk);
        uint64_t expectedSize = c.destinationSize + (c.expected == StatusOk ? page.size() : 0);
        if (c.expected == StatusOk) {
            std::ifstream in(destination_, std::ios::binary);
            in.seekg(static_cast<std::streamoff>(c.destinationSize));
            std::vector<uint8_t> tail(page.size());
            in.read(reinterpret_cast<char*>(tail.data()), static_cast<std::streamsize>(tail.size()));
            EXPECT_EQ(tail, page);
        }
        EXPECT_EQ(std::filesystem::file_size(destination_), expectedSize);
    }
}

}  // namespace
}  // namespace output_test
