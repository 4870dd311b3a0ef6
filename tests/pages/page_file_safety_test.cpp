// The files a job makes are its own: a page file swapped for a link or
// another file between commands gets no byte and gives none (203), a job
// another running process holds is refused (219) with its files kept, a
// staged copy a killed job left beside the output goes only when it proves
// to be that job's, and a full disk's message names the volume.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "pages/page_job.h"
#include "platform/testing.h"
#include "support/files.h"

namespace page_test {
namespace {

namespace fs = std::filesystem;

void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

class PageFileSafety : public PageJobTest {
protected:
    std::string OnlyPageFile() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(temp_.path())) names.push_back(entry.path().string());
        EXPECT_EQ(names.size(), 1u);
        return names.empty() ? std::string() : names[0];
    }
    void WriteText(const char* name, const std::string& text) {
        WriteValueOfType(name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
    }
    // "volume:high:low" of the file at `path`, as the plug-in records it.
    static std::string IdentityText(const std::string& path) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        BY_HANDLE_FILE_INFORMATION info{};
        EXPECT_TRUE(GetFileInformationByHandle(file, &info));
        CloseHandle(file);
        char text[32];
        snprintf(text, sizeof(text), "%08x:%08x:%08x", info.dwVolumeSerialNumber, info.nFileIndexHigh,
                 info.nFileIndexLow);
        return text;
    }
    static std::string StampOf(pid_t pid) {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
        FILETIME created{}, unused{};
        EXPECT_TRUE(GetProcessTimes(process, &created, &unused, &unused, &unused));
        CloseHandle(process);
        char text[64];
        snprintf(text, sizeof(text), "%d %08x%08x", static_cast<int>(pid), created.dwHighDateTime,
                 created.dwLowDateTime);
        return text;
    }
};

struct Swap {
    const char* name;
    // Replaces the page file at `page` by something that reaches `victim`.
    std::function<void(const std::string& page, const std::string& victim)> apply;
};
void PrintTo(const Swap& s, std::ostream* out) { *out << s.name; }

const Swap kSwaps[] = {
    {"symbolic link",
     [](const std::string& page, const std::string& victim) {
         fs::remove(page);
         fs::create_symlink(victim, page);
     }},
    {"hard link",
     [](const std::string& page, const std::string& victim) {
         fs::remove(page);
         fs::create_hard_link(victim, page);
     }},
    {"another file renamed over it",
     [](const std::string& page, const std::string&) {
         WriteBytes(page + ".new", Bytes(4096, 0x11));
         fs::rename(page + ".new", page);
     }},
};

class SwappedPageFile : public PageFileSafety, public ::testing::WithParamInterface<Swap> {};

// The swap before a band and before the page's end; the victim keeps every
// byte, and no page reaches the output.
TEST_P(SwappedPageFile, IsNeitherWrittenNorCommitted) {
    HostPage page = MakePage({FormatGray8, 40, 6, 3}, 5);
    const std::string victim = output_.file("victim.bin");
    const Bytes original(300, 0x42);
    for (int32_t command : {CmdWriteBand, CmdEndPage}) {
        WriteBytes(victim, original);
        ASSERT_EQ(Prepare(FormatGray8, false), 0);
        ASSERT_EQ(Begin(page), 0);
        if (command == CmdEndPage) {
            ASSERT_EQ(Band(page, 0, 6), 0);
        }
        GetParam().apply(OnlyPageFile(), victim);
        uint16_t status = command == CmdWriteBand ? Band(page, 0, 3) : Run(CmdEndPage);
        EXPECT_EQ(status, StatusOpenFailed) << command;
        Run(CmdEndJob);
        EXPECT_EQ(test_support::ReadFileBytes(victim), original) << command;
        EXPECT_FALSE(fs::exists(output_path_)) << command;
        for (const auto& entry : fs::directory_iterator(temp_.path())) fs::remove(entry.path());
    }
}

INSTANTIATE_TEST_SUITE_P(Swaps, SwappedPageFile, ::testing::ValuesIn(kSwaps));

TEST_F(PageFileSafety, PageFileIsPrivateAndRecordedWithItsIdentity) {
    HostPage page = MakePage({FormatGray8, 40, 6}, 6);
    ASSERT_EQ(Prepare(FormatGray8, false), 0);
    ASSERT_EQ(Begin(page), 0);
    struct stat info {};
    ASSERT_EQ(stat(OnlyPageFile().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_TRUE(HasValue("TempFile Identity"));
    ASSERT_EQ(Band(page, 0, 6), 0);
    ASSERT_EQ(Run(CmdEndPage), 0);
    EXPECT_FALSE(HasValue("TempFile Identity"));
    EXPECT_FALSE(HasValue("Staged File"));
    EXPECT_EQ(Run(CmdEndJob), 0);
    CheckOutput({page});
}

// A job whose owner still runs keeps its page file through every command of
// another process; once the owner is gone the job is taken over.
TEST_F(PageFileSafety, JobOfALiveProcessIsRefusedUntilItDies) {
    HostPage page = MakePage({FormatGray8, 40, 6}, 7);
    ASSERT_EQ(Prepare(FormatGray8, false), 0);
    ASSERT_EQ(Begin(page), 0);
    const std::string pageFile = OnlyPageFile();
    pid_t owner = fork();
    ASSERT_GE(owner, 0);
    if (owner == 0) {
        pause();
        _exit(0);
    }
    WriteText("Job Owner", StampOf(owner));
    PluginProcessDetach();  // a fresh plug-in object, as in another process
    PluginProcessAttach(GetModuleHandleA(nullptr));
    EXPECT_EQ(Prepare(FormatGray8, false), StatusJobInUse);
    EXPECT_EQ(Begin(page), StatusJobInUse);
    EXPECT_EQ(Band(page, 0, 6), StatusJobInUse);
    EXPECT_EQ(Run(CmdEndPage), StatusJobInUse);
    EXPECT_EQ(Run(CmdEndJob), 0);
    EXPECT_TRUE(fs::exists(pageFile));
    EXPECT_TRUE(HasValue("TempFile"));
    ASSERT_FALSE(platform::testing::MessageBoxes().empty());
    EXPECT_NE(platform::testing::MessageBoxes().back().text.find("Another program"), std::string::npos);

    kill(owner, SIGKILL);
    waitpid(owner, nullptr, 0);
    EXPECT_EQ(Prepare(FormatGray8, false), 0);
    EXPECT_FALSE(fs::exists(pageFile));
    ASSERT_EQ(RunPage(page, false), 0);
    EXPECT_EQ(Run(CmdEndJob), 0);
    EXPECT_FALSE(HasValue("Job Owner"));
    CheckOutput({page});
}

// A staged copy left by a killed job: removed when it is the file recorded,
// kept when the name now holds another file.
TEST_F(PageFileSafety, StrayStagedCopyGoesOnlyWhenProvedOurs) {
    const std::string staged = output_.file("~TF1234.TMP");
    for (bool ours : {true, false}) {
        WriteBytes(staged, Bytes(64, 0x33));
        WriteText("Staged File", staged);
        WriteText("Staged File Identity", ours ? IdentityText(staged) : "00000001:00000000:00000002");
        ASSERT_EQ(Prepare(FormatGray8, false), 0);
        EXPECT_EQ(fs::exists(staged), !ours);
        EXPECT_FALSE(HasValue("Staged File"));
        EXPECT_EQ(Run(CmdEndJob), 0);
    }
}

TEST_F(PageFileSafety, DiskFullMessageNamesTheVolumeThatIsFull) {
    HostPage page = MakePage({FormatGray8, 40, 6}, 8);
    ASSERT_EQ(Prepare(FormatGray8, false), 0);
    platform::testing::SetFreeSpace(10);
    EXPECT_EQ(Begin(page), StatusDiskFull);
    ASSERT_FALSE(platform::testing::MessageBoxes().empty());
    EXPECT_NE(platform::testing::MessageBoxes().back().text.find("temporary folder (" + temp_.path()),
              std::string::npos)
        << platform::testing::MessageBoxes().back().text;

    platform::testing::SetFreeSpace(std::nullopt);
    ASSERT_EQ(Begin(page), 0);
    ASSERT_EQ(Band(page, 0, 6), 0);
    platform::testing::SetFreeSpace(10);
    EXPECT_EQ(Run(CmdEndPage), StatusDiskFull);
    EXPECT_NE(platform::testing::MessageBoxes().back().text.find("destination drive (" + output_.path()),
              std::string::npos)
        << platform::testing::MessageBoxes().back().text;
    platform::testing::SetFreeSpace(std::nullopt);
    Run(CmdEndJob);
}

}  // namespace
}  // namespace page_test
