// File services: share modes, dispositions, Windows seek and size rules,
// atomic copies and moves, the disk budget and injected faults.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "platform_test_support.h"

namespace {

using platform::testing::Service;
using test_support::ReadWholeFile;
using test_support::ScratchDirectory;
using test_support::WriteWholeFile;

class FileTest : public test_support::PlatformTest {
protected:
    HANDLE Open(const std::string& path, DWORD access, DWORD disposition, DWORD share = FILE_SHARE_READ) {
        return CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    bool Write(HANDLE file, const std::string& bytes) {
        DWORD written = 0;
        return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != FALSE &&
               written == bytes.size();
    }
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        DIR* listing = opendir(scratch.path().c_str());
        while (dirent* entry = readdir(listing)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(listing);
        return names;
    }

    ScratchDirectory scratch{"zeduz-platform-"};
};

TEST_F(FileTest, ValidHandlesAreNeitherNullNorInvalid) {
    HANDLE file = Open(scratch.file("a"), GENERIC_WRITE, CREATE_ALWAYS);
    EXPECT_NE(INVALID_HANDLE_VALUE, file);
    EXPECT_NE(nullptr, file);
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}

TEST_F(FileTest, SharingReadOnlyRefusesOtherWriters) {
    const std::string path = scratch.file("out.tif");
    HANDLE writer = Open(path, GENERIC_WRITE, CREATE_ALWAYS);
    ASSERT_TRUE(Write(writer, "keep"));
    struct Case {
        const char* what;
        DWORD access;
        DWORD disposition;
        DWORD share;
        bool opens;
    };
    const std::vector<Case> cases = {
        {"second writer", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, FILE_SHARE_READ, false},
        {"truncating writer", GENERIC_WRITE, CREATE_ALWAYS, FILE_SHARE_READ | FILE_SHARE_WRITE, false},
        {"reader denying writes", GENERIC_READ, OPEN_EXISTING, FILE_SHARE_READ, false},
        {"reader sharing writes", GENERIC_READ, OPEN_EXISTING, FILE_SHARE_READ | FILE_SHARE_WRITE, true},
    };
    for (const Case& c : cases) {
        HANDLE other = Open(path, c.access, c.disposition, c.share);
        EXPECT_EQ(c.opens, other != INVALID_HANDLE_VALUE) << c.what;
        if (other != INVALID_HANDLE_VALUE) {
            CloseHandle(other);
        } else {
            EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError()) << c.what;
        }
    }
    // Another process is refused too.
    pid_t child = platform_tests::StartChild([&path] {
        HANDLE other = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        return other == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION;
    });
    EXPECT_EQ(0, platform_tests::WaitForChild(child));
    EXPECT_FALSE(DeleteFileA(path.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    CloseHandle(writer);
    EXPECT_EQ("keep", ReadWholeFile(path)) << "a refused CREATE_ALWAYS must not truncate";
    HANDLE again = Open(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
    EXPECT_NE(INVALID_HANDLE_VALUE, again) << "free again once closed";
    CloseHandle(again);
}

TEST_F(FileTest, DispositionsAndErrors) {
    const std::string path = scratch.file("f");
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(path, GENERIC_READ, OPEN_EXISTING));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(scratch.file("no/dir/f"), GENERIC_WRITE, CREATE_ALWAYS));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
    HANDLE created = Open(path, GENERIC_WRITE, CREATE_NEW);
    ASSERT_NE(INVALID_HANDLE_VALUE, created);
    Write(created, "12345");
    CloseHandle(created);
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(path, GENERIC_WRITE, CREATE_NEW));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS), GetLastError());
    HANDLE truncated = Open(path, GENERIC_WRITE, CREATE_ALWAYS);
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_EQ(0u, GetFileSize(truncated, nullptr));
    char byte;
    DWORD got = 0;
    EXPECT_FALSE(ReadFile(truncated, &byte, 1, &got, nullptr)) << "no read access";
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    CloseHandle(truncated);
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(scratch.path(), GENERIC_READ, OPEN_EXISTING)) << "a directory";
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(std::string(260, 'x'), GENERIC_READ, OPEN_EXISTING));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), GetLastError());
}

TEST_F(FileTest, ReadStopsShortAtEndOfFile) {
    const std::string path = scratch.file("r");
    WriteWholeFile(path, "abc");
    HANDLE file = Open(path, GENERIC_READ, OPEN_EXISTING);
    char buffer[8] = {};
    DWORD got = 99;
    EXPECT_TRUE(ReadFile(file, buffer, sizeof(buffer), &got, nullptr));
    EXPECT_EQ(3u, got);
    EXPECT_TRUE(ReadFile(file, buffer, sizeof(buffer), &got, nullptr));
    EXPECT_EQ(0u, got);
    CloseHandle(file);
}

TEST_F(FileTest, SetFilePointerFollowsWindowsRules) {
    HANDLE file = Open(scratch.file("s"), GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
    ASSERT_TRUE(Write(file, std::string(100, 'x')));
    struct Case {
        const char* what;
        LONG distance;
        bool withHigh;
        LONG high;
        DWORD method;
        DWORD expectedLow;
        LONG expectedHigh;
        DWORD expectedError;
    };
    const std::vector<Case> cases = {
        {"from start", 10, false, 0, FILE_BEGIN, 10, 0, ERROR_SUCCESS},
        {"back from current", -4, false, 0, FILE_CURRENT, 6, 0, ERROR_SUCCESS},
        {"from end", -1, false, 0, FILE_END, 99, 0, ERROR_SUCCESS},
        {"before the start", -101, false, 0, FILE_END, INVALID_SET_FILE_POINTER, 0, ERROR_NEGATIVE_SEEK},
        {"past the end", 1000, false, 0, FILE_BEGIN, 1000, 0, ERROR_SUCCESS},
        {"high part", 5, true, 1, FILE_BEGIN, 5, 1, ERROR_SUCCESS},
        {"0xFFFFFFFF with high part", -1, true, 0, FILE_BEGIN, 0xFFFFFFFFu, 0, ERROR_SUCCESS},
        {"negative 64-bit", -1, true, -1, FILE_BEGIN, INVALID_SET_FILE_POINTER, 0, ERROR_NEGATIVE_SEEK},
        {"unknown method", 0, false, 0, 7, INVALID_SET_FILE_POINTER, 0, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        LONG high = c.high;
        SetLastError(12345);
        DWORD low = SetFilePointer(file, c.distance, c.withHigh ? &high : nullptr, c.method);
        EXPECT_EQ(c.expectedLow, low) << c.what;
        EXPECT_EQ(c.expectedError, GetLastError()) << c.what;
        if (c.withHigh && c.expectedError == ERROR_SUCCESS) {
            EXPECT_EQ(c.expectedHigh, high) << c.what;
        }
    }
    EXPECT_EQ(INVALID_SET_FILE_POINTER, SetFilePointer(nullptr, 0, nullptr, FILE_BEGIN));
    CloseHandle(file);
}

TEST_F(FileTest, SizeBeyondFourGigabytes) {
    const std::string path = scratch.file("big");
    int fd = open(path.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_EQ(0, ftruncate(fd, 0x100000005LL));  // sparse
    close(fd);
    HANDLE file = Open(path, GENERIC_READ, OPEN_EXISTING);
    DWORD high = 0;
    EXPECT_EQ(5u, GetFileSize(file, &high));
    EXPECT_EQ(1u, high);
    EXPECT_EQ(5u, GetFileSize(file, nullptr)) << "low part only";
    CloseHandle(file);
}

TEST_F(FileTest, WriteBudgetFailsWholeWritesAsDiskFull) {
    const std::string path = scratch.file("w");
    HANDLE file = Open(path, GENERIC_WRITE, CREATE_ALWAYS);
    platform::testing::SetWriteBudget(10);
    EXPECT_TRUE(Write(file, "123456"));
    DWORD written = 99;
    EXPECT_FALSE(WriteFile(file, "abcdef", 6, &written, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_DISK_FULL), GetLastError());
    EXPECT_EQ(0u, written);
    EXPECT_TRUE(Write(file, "7890"));
    platform::testing::SetWriteBudget(std::nullopt);
    EXPECT_TRUE(Write(file, "more"));
    CloseHandle(file);
    EXPECT_EQ("1234567890more", ReadWholeFile(path));
}

TEST_F(FileTest, InjectedFaultsSkipCountAndLookReal) {
    const std::string path = scratch.file("x");
    platform::testing::FailCalls(Service::Create, 1, 1);
    HANDLE first = Open(path, GENERIC_WRITE, CREATE_ALWAYS);
    EXPECT_NE(INVALID_HANDLE_VALUE, first) << "skipped";
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(scratch.file("y"), GENERIC_WRITE, CREATE_ALWAYS)) << "failed";
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    HANDLE third = Open(scratch.file("z"), GENERIC_WRITE, CREATE_ALWAYS);
    EXPECT_NE(INVALID_HANDLE_VALUE, third) << "faults used up";
    EXPECT_EQ(3, platform::testing::CallCount(Service::Create));
    EXPECT_EQ(0, platform::testing::CallCount(Service::Open));

    platform::testing::FailCalls(Service::Write, 1);
    EXPECT_FALSE(Write(first, "data"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_WRITE_FAULT), GetLastError());
    platform::testing::FailCalls(Service::Close, 1);
    EXPECT_FALSE(CloseHandle(first));
    EXPECT_TRUE(Write(first, "still open")) << "a failed close keeps the handle";
    EXPECT_TRUE(CloseHandle(first));
    CloseHandle(third);
    EXPECT_EQ("still open", ReadWholeFile(path));
    platform::testing::FailCalls(Service::Delete, 1);
    EXPECT_FALSE(DeleteFileA(path.c_str()));
    EXPECT_TRUE(DeleteFileA(path.c_str()));
    EXPECT_FALSE(DeleteFileA(path.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

TEST_F(FileTest, CopyReplacesDestinationWhole) {
    const std::string source = scratch.file("~TF0001.TMP");
    const std::string destination = scratch.file("out.tif");
    WriteWholeFile(source, std::string(200000, 'n'));
    WriteWholeFile(destination, "old");
    EXPECT_FALSE(CopyFileA(source.c_str(), destination.c_str(), TRUE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS), GetLastError());
    ASSERT_TRUE(CopyFileA(source.c_str(), destination.c_str(), FALSE));
    EXPECT_EQ(std::string(200000, 'n'), ReadWholeFile(destination));
    EXPECT_EQ(2u, Entries().size()) << "no staging file left behind";
}

// A copy that fails midway (a full disk, or a fault before it completes)
// leaves the old destination as it was and no stray file.
TEST_F(FileTest, FailedCopyLeavesNoPartialDestination) {
    const std::string source = scratch.file("~TF0002.TMP");
    const std::string destination = scratch.file("out.tif");
    WriteWholeFile(source, std::string(300000, 'n'));
    for (int failure = 0; failure < 2; ++failure) {
        WriteWholeFile(destination, "old");
        if (failure == 0) platform::testing::SetWriteBudget(100000);
        if (failure == 1) platform::testing::FailCalls(Service::Copy, 1);
        EXPECT_FALSE(CopyFileA(source.c_str(), destination.c_str(), FALSE)) << failure;
        EXPECT_EQ(static_cast<DWORD>(failure == 0 ? ERROR_DISK_FULL : ERROR_WRITE_FAULT), GetLastError());
        EXPECT_EQ("old", ReadWholeFile(destination)) << failure;
        EXPECT_EQ(2u, Entries().size()) << failure;
        platform::testing::Reset();
    }
    DeleteFileA(destination.c_str());
    platform::testing::SetWriteBudget(10);
    EXPECT_FALSE(CopyFileA(source.c_str(), destination.c_str(), FALSE));
    EXPECT_EQ(1u, Entries().size()) << "no destination at all after a failed first copy";
}

TEST_F(FileTest, CopyRefusesDestinationHeldOpen) {
    const std::string source = scratch.file("src");
    const std::string destination = scratch.file("dst");
    WriteWholeFile(source, "new");
    HANDLE held = Open(destination, GENERIC_WRITE, CREATE_ALWAYS);
    EXPECT_FALSE(CopyFileA(source.c_str(), destination.c_str(), FALSE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    CloseHandle(held);
    EXPECT_TRUE(CopyFileA(source.c_str(), destination.c_str(), FALSE));
}

TEST_F(FileTest, MoveHonoursReplaceFlag) {
    const std::string source = scratch.file("a");
    const std::string destination = scratch.file("b");
    WriteWholeFile(source, "A");
    WriteWholeFile(destination, "B");
    EXPECT_FALSE(MoveFileExA(source.c_str(), destination.c_str(), 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_EQ("B", ReadWholeFile(destination));
    EXPECT_TRUE(MoveFileExA(source.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ("A", ReadWholeFile(destination));
    EXPECT_EQ(1u, Entries().size());
    EXPECT_FALSE(MoveFileExA(source.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

// Across volumes a move copies and removes the source.
TEST_F(FileTest, MoveAcrossVolumes) {
    struct stat here {
    }, there{};
    if (stat("/dev/shm", &there) != 0 || stat(scratch.path().c_str(), &here) != 0 || here.st_dev == there.st_dev) {
        GTEST_SKIP() << "no second volume";
    }
    char pattern[] = "/dev/shm/zeduz-move-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    const std::string source = scratch.file("page");
    const std::string destination = std::string(pattern) + "/page";
    WriteWholeFile(source, std::string(70000, 'p'));
    EXPECT_TRUE(MoveFileExA(source.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(std::string(70000, 'p'), ReadWholeFile(destination));
    EXPECT_TRUE(Entries().empty());
    std::string cleanup = std::string("rm -rf ") + pattern;
    EXPECT_EQ(0, system(cleanup.c_str()));
}

// CopyFileBytes moves bytes between the two positions as ReadFile then
// WriteFile would, on one volume (in the kernel) and across two (through a
// buffer), and fails as those two calls do.
TEST_F(FileTest, CopyFileBytesActsAsAReadThenAWrite) {
    struct stat here {
    }, shm{};
    const bool secondVolume =
        stat("/dev/shm", &shm) == 0 && stat(scratch.path().c_str(), &here) == 0 && here.st_dev != shm.st_dev;
    char pattern[] = "/dev/shm/zeduz-copy-XXXXXX";
    const std::string elsewhere = secondVolume && mkdtemp(pattern) != nullptr ? pattern : scratch.path();
    std::string page;
    for (int i = 0; i < 200000; ++i) page += static_cast<char>(i * 7 + i / 251);
    struct Case {
        const char* name;
        std::string sourceDirectory;
        std::function<void()> arrange;
        DWORD count;
        BOOL ok;
        DWORD copied;
        DWORD error;
    };
    using platform::testing::FailCalls;
    const std::vector<Case> cases = {
        {"one volume", scratch.path(), [] {}, 150000, TRUE, 150000, ERROR_SUCCESS},
        {"two volumes", elsewhere, [] {}, 150000, TRUE, 150000, ERROR_SUCCESS},
        {"source ends", scratch.path(), [] {}, 250000, TRUE, 190000, ERROR_SUCCESS},
        {"two volumes, source ends", elsewhere, [] {}, 250000, TRUE, 190000, ERROR_SUCCESS},
        {"read fault", scratch.path(), [] { FailCalls(Service::Read, 1); }, 100, FALSE, 0, ERROR_READ_FAULT},
        {"write fault", scratch.path(), [] { FailCalls(Service::Write, 1); }, 100, FALSE, 0, ERROR_WRITE_FAULT},
        {"disk full", scratch.path(), [] { platform::testing::SetWriteBudget(99); }, 100, FALSE, 0, ERROR_DISK_FULL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform::testing::Reset();
        const std::string sourcePath = c.sourceDirectory + "/~TF1.TMP";
        const std::string destinationPath = scratch.file("out.tif");
        WriteWholeFile(sourcePath, page);
        WriteWholeFile(destinationPath, "head");
        HANDLE source = Open(sourcePath, GENERIC_READ, OPEN_EXISTING);
        HANDLE destination = Open(destinationPath, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
        ASSERT_NE(INVALID_HANDLE_VALUE, source);
        ASSERT_NE(INVALID_HANDLE_VALUE, destination);
        SetFilePointer(source, 10000, nullptr, FILE_BEGIN);
        SetFilePointer(destination, 0, nullptr, FILE_END);
        c.arrange();
        DWORD copied = 99;
        EXPECT_EQ(c.ok, CopyFileBytes(source, destination, c.count, &copied));
        EXPECT_EQ(c.error, GetLastError());
        EXPECT_EQ(c.copied, copied);
        EXPECT_EQ(10000 + c.copied, SetFilePointer(source, 0, nullptr, FILE_CURRENT));
        EXPECT_EQ(4 + c.copied, SetFilePointer(destination, 0, nullptr, FILE_CURRENT));
        EXPECT_EQ(1, platform::testing::CallCount(Service::Read));
        CloseHandle(source);
        CloseHandle(destination);
        EXPECT_EQ("head" + page.substr(10000, c.copied), ReadWholeFile(destinationPath));
    }
    HANDLE readOnly = Open(scratch.file("out.tif"), GENERIC_READ, OPEN_EXISTING);
    DWORD copied = 0;
    EXPECT_FALSE(CopyFileBytes(readOnly, readOnly, 1, &copied)) << "no write access";
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    CloseHandle(readOnly);
    EXPECT_FALSE(CopyFileBytes(readOnly, readOnly, 1, &copied)) << "closed handle";
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    if (elsewhere != scratch.path()) {
        EXPECT_EQ(0, system(("rm -rf " + elsewhere).c_str()));
    }
}

}  // namespace

namespace {

mode_t CurrentUmask() {
    mode_t mask = umask(0);
    umask(mask);
    return mask;
}

// What GetFileInformationByHandle reports of a path opened without
// following a reparse point; attributes 0 when the open failed.
struct Opened {
    DWORD attributes = 0;
    DWORD links = 0;
    uint64_t index = 0;
    bool readable = false;
};

Opened OpenItself(const std::string& path) {
    Opened opened;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return opened;
    BY_HANDLE_FILE_INFORMATION info{};
    EXPECT_TRUE(GetFileInformationByHandle(file, &info));
    char byte = 0;
    DWORD read = 0;
    opened = {info.dwFileAttributes, info.nNumberOfLinks, (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow,
              ReadFile(file, &byte, 1, &read, nullptr) != FALSE && read == 1};
    CloseHandle(file);
    return opened;
}

TEST_F(FileTest, NoReparsePointIsFollowedAndTheFileTellsWhatItIs) {
    const std::string target = scratch.file("target");
    WriteWholeFile(target, "bytes");
    struct stat info {};
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    ASSERT_EQ(symlink(target.c_str(), scratch.file("link").c_str()), 0);
    ASSERT_EQ(link(target.c_str(), scratch.file("second name").c_str()), 0);
    ASSERT_EQ(mkfifo(scratch.file("fifo").c_str(), 0600), 0);
    struct Case {
        const char* name;
        DWORD attributes;
        DWORD links;
        bool readable;
    } cases[] = {
        {"target", FILE_ATTRIBUTE_NORMAL, 2, true},
        {"link", FILE_ATTRIBUTE_REPARSE_POINT, 1, false},  // the link itself, never its target
        {"fifo", FILE_ATTRIBUTE_DEVICE, 1, false},         // opened at once, not blocked
    };
    for (const Case& c : cases) {
        Opened opened = OpenItself(scratch.file(c.name));
        EXPECT_EQ(opened.attributes, c.attributes) << c.name;
        EXPECT_EQ(opened.links, c.links) << c.name;
        EXPECT_EQ(opened.readable, c.readable) << c.name;
    }
    EXPECT_EQ(OpenItself(target).index, static_cast<uint64_t>(info.st_ino));
}

TEST_F(FileTest, NewTemporaryFilesArePrivateAndNeverMadeThroughALink) {
    const std::string victim = scratch.file("victim");
    WriteWholeFile(victim, "kept");
    ASSERT_EQ(symlink(victim.c_str(), scratch.file("link").c_str()), 0);
    for (DWORD flags : {DWORD{FILE_ATTRIBUTE_NORMAL}, DWORD{FILE_ATTRIBUTE_TEMPORARY}}) {
        const std::string name = scratch.file("new" + std::to_string(flags));
        HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                  flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        CloseHandle(file);
        struct stat info {};
        ASSERT_EQ(stat(name.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, flags == FILE_ATTRIBUTE_TEMPORARY ? 0600u : 0666u & ~CurrentUmask());
    }
    EXPECT_EQ(CreateFileA(scratch.file("link").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                          FILE_FLAG_OPEN_REPARSE_POINT, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadWholeFile(victim), "kept");
}

TEST_F(FileTest, ProcessesAreActiveUntilTheyEnd) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        pause();
        _exit(0);
    }
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(child));
    ASSERT_NE(process, nullptr);
    FILETIME created{}, unused{};
    EXPECT_TRUE(GetProcessTimes(process, &created, &unused, &unused, &unused));
    EXPECT_NE(created.dwHighDateTime, 0u);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(process, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    kill(child, SIGKILL);
    for (int i = 0; i < 200 && GetExitCodeProcess(process, &code) && code == STILL_ACTIVE; ++i) usleep(5000);
    EXPECT_NE(code, STILL_ACTIVE) << "a killed process, reaped or not, is no longer active";
    EXPECT_TRUE(CloseHandle(process));
    waitpid(child, nullptr, 0);
    EXPECT_EQ(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(child)), nullptr);
}

}  // namespace
