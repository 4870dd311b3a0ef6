// Moving a page file into place, the room test before a commit, and the
// combined-size limit of 32-bit offsets.
#include <functional>

#include "output_fixture.h"

namespace output_test {
namespace {

using platform::testing::FailCalls;
using platform::testing::SetFreeSpace;

class MoveToDestinationTest : public OutputTest {
protected:
    void SetUp() override {
        OutputTest::SetUp();
        source_ = MakeFile("~TF1.TMP", page_);
        destination_ = MakeFile("out.tif", old_);
    }
    // The destination is whole: the old file or the complete new one, and
    // no staged copy is left beside it. The source is always gone.
    void ExpectOutcome(PluginStatus status, PluginStatus expected) {
        EXPECT_EQ(status, expected);
        EXPECT_FALSE(Exists(source_));
        EXPECT_EQ(Contents(destination_), expected == StatusOk ? page_ : old_);
        EXPECT_EQ(Listing(), std::vector<std::string>{"out.tif"});
    }
    std::vector<uint8_t> page_ = Pattern(5198, 1);
    std::vector<uint8_t> old_ = Pattern(20000, 2);
    std::string source_, destination_;
};

TEST_F(MoveToDestinationTest, ReplacesAnExistingFile) {
    ExpectOutcome(FileHandle::MoveToDestination(source_.c_str(), destination_.c_str()), StatusOk);
}

TEST_F(MoveToDestinationTest, CreatesAMissingDestination) {
    std::filesystem::remove(destination_);
    EXPECT_EQ(FileHandle::MoveToDestination(source_.c_str(), destination_.c_str()), StatusOk);
    EXPECT_EQ(Contents(destination_), page_);
    EXPECT_FALSE(Exists(source_));
}

TEST_F(MoveToDestinationTest, FailuresKeepTheOldDestination) {
    using platform::testing::SetWriteBudget;
    struct Case {
        const char* name;
        std::function<void()> arrange;
        PluginStatus expected;
    };
    const Case cases[] = {
        {"staged name", [] { FailCalls(Service::Create, 1); }, StatusCreateFailed},
        {"copy", [] { FailCalls(Service::Write, 1); }, StatusWriteFailed},
        {"rename over the destination", [] { FailCalls(Service::Copy, 1); }, StatusCreateFailed},
        {"copy runs out of disk", [] { SetWriteBudget(100); }, StatusWriteFailed},
        {"staged copy proved before the rename", [] { FailCalls(Service::Open, 1, 1); }, StatusCreateFailed},
        {"source cannot be opened", [] { FailCalls(Service::Open, 1); }, StatusOpenFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform::testing::Reset();
        source_ = MakeFile("~TF1.TMP", page_);
        c.arrange();
        ExpectOutcome(FileHandle::MoveToDestination(source_.c_str(), destination_.c_str()), c.expected);
    }
}

TEST_F(MoveToDestinationTest, FreeSpaceDecidesBeforeTheCopy) {
    SetFreeSpace(page_.size() - 1);
    ExpectOutcome(FileHandle::MoveToDestination(source_.c_str(), destination_.c_str()), StatusDiskFull);

    source_ = MakeFile("~TF1.TMP", page_);
    SetFreeSpace(page_.size());
    ExpectOutcome(FileHandle::MoveToDestination(source_.c_str(), destination_.c_str()), StatusOk);
}

// A share that does not report its free space still takes pages.
TEST_F(MoveToDestinationTest, UnknownFreeSpaceReliesOnTheCopy) {
    SetFreeSpace(std::nullopt);
    ExpectOutcome(FileHandle::MoveToDestination(source_.c_str(), destination_.c_str()), StatusOk);
}

TEST_F(MoveToDestinationTest, MissingSourceOrDestinationDirectory) {
    std::filesystem::remove(source_);
    ExpectOutcome(FileHandle::MoveToDestination(source_.c_str(), destination_.c_str()), StatusOpenFailed);

    source_ = MakeFile("~TF1.TMP", page_);
    std::string nowhere = Path("no/such/dir/out.tif");
    EXPECT_EQ(FileHandle::MoveToDestination(source_.c_str(), nowhere.c_str()), StatusCreateFailed);
    EXPECT_FALSE(Exists(source_));
}

TEST_F(MoveToDestinationTest, ASourceBeyondThirtyTwoBitOffsetsIsRefused) {
    source_ = MakeSparseFile("~TF1.TMP", 0x100000010ull);
    ExpectOutcome(FileHandle::MoveToDestination(source_.c_str(), destination_.c_str()), StatusWriteFailed);
}

// The destination's volume must hold the whole source: a byte less is a
// full disk, and a volume that does not say is tried.
TEST_F(OutputTest, TheDestinationsVolumeMustHoldTheWholeSource) {
    std::string destination = Path("out.tif");
    struct Case {
        std::optional<uint64_t> freeSpace;
        PluginStatus expected;
    };
    const Case cases[] = {{1000, StatusOk}, {999, StatusDiskFull}, {0, StatusDiskFull}, {std::nullopt, StatusOk}};
    for (const Case& c : cases) {
        std::string source = MakeFile("~TF1.TMP", Pattern(1000));
        SetFreeSpace(c.freeSpace);
        EXPECT_EQ(FileHandle::MoveToDestination(source.c_str(), destination.c_str()), c.expected)
            << (c.freeSpace ? std::to_string(*c.freeSpace) : "unknown") << " bytes free";
    }
    EXPECT_EQ(FileHandle::MoveToDestination(Path("missing").c_str(), destination.c_str()), StatusOpenFailed);

    // 4 GiB + 10 is not 10 bytes.
    std::string big = MakeSparseFile("big.TMP", 0x10000000Aull);
    SetFreeSpace(1000);
    EXPECT_EQ(FileHandle::MoveToDestination(big.c_str(), destination.c_str()), StatusWriteFailed);
}

TEST_F(OutputTest, CheckCombinedSizeStopsBelowFourGibibytes) {
    struct Case {
        uint64_t first;
        uint64_t second;
        PluginStatus expected;
    };
    const Case cases[] = {
        {1000, 0xFFFFFFFEull - 1000, StatusOk},
        {1000, 0xFFFFFFFFull - 1000, StatusWriteFailed},
        {0, 0xFFFFFFFEull, StatusOk},
        {0, 0xFFFFFFFFull, StatusWriteFailed},
        {0x100000000ull, 0, StatusWriteFailed},  // its low 32 bits are 0
        {0x100000001ull, 10, StatusWriteFailed},
        {0, 0, StatusOk},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.first << " + " << c.second);
        std::string first = MakeSparseFile("~TF1.TMP", c.first);
        std::string second = MakeSparseFile("out.tif", c.second);
        EXPECT_EQ(FileHandle::CheckCombinedSize(first.c_str(), second.c_str()), c.expected);
        EXPECT_EQ(std::filesystem::file_size(first), c.first);
        EXPECT_EQ(std::filesystem::file_size(second), c.second);
    }
    std::string present = MakeFile("present", Pattern(4));
    std::string missing = Path("missing");
    EXPECT_EQ(FileHandle::CheckCombinedSize(missing.c_str(), present.c_str()), StatusOpenFailed);
    EXPECT_EQ(FileHandle::CheckCombinedSize(present.c_str(), missing.c_str()), StatusOpenFailed);
}

}  // namespace
}  // namespace output_test
