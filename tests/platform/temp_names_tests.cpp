// Temp directory and unique temporary file names.
#include <sys/stat.h>

#include <cctype>
#include <set>
#include <string>

#include "platform/win32.h"
#include "platform_test_support.h"

namespace {

using test_support::ScratchDirectory;

// "<directory>~TFXXXX.TMP" with four upper-case hex digits.
bool IsTempName(const std::string& name, const std::string& directory) {
    const std::string prefix = directory + "~TF";
    if (name.size() != prefix.size() + 8 || name.compare(0, prefix.size(), prefix) != 0) return false;
    for (size_t i = prefix.size(); i < prefix.size() + 4; ++i) {
        if (!isxdigit(static_cast<unsigned char>(name[i])) || islower(static_cast<unsigned char>(name[i])))
            return false;
    }
    return name.compare(prefix.size() + 4, 4, ".TMP") == 0;
}

class TempNamesTest : public test_support::PlatformTest {
protected:
    ScratchDirectory scratch{"zeduz-platform-"};
};

TEST_F(TempNamesTest, TempPathFromEnvironmentWithTrailingSlash) {
    const char* saved = getenv("TMPDIR");
    std::string savedValue = saved != nullptr ? saved : "";
    setenv("TMPDIR", "/var/tmp", 1);
    char buffer[MAX_PATH];
    EXPECT_EQ(9u, GetTempPathA(sizeof(buffer), buffer));
    EXPECT_STREQ("/var/tmp/", buffer);
    EXPECT_EQ(10u, GetTempPathA(9, buffer)) << "too small: the size needed";
    unsetenv("TMPDIR");
    EXPECT_EQ(5u, GetTempPathA(sizeof(buffer), buffer));
    EXPECT_STREQ("/tmp/", buffer);
    if (saved != nullptr) setenv("TMPDIR", savedValue.c_str(), 1);
}

TEST_F(TempNamesTest, CreatesDistinctFilesWithTheWindowsPattern) {
    const std::string directory = scratch.path() + "/";
    std::set<std::string> names;
    for (int i = 0; i < 300; ++i) {
        char name[MAX_PATH];
        UINT number = GetTempFileNameA(directory.c_str(), "~TF", 0, name);
        ASSERT_NE(0u, number);
        EXPECT_TRUE(IsTempName(name, directory)) << name;
        struct stat info {};
        ASSERT_EQ(0, stat(name, &info)) << "created at once";
        EXPECT_EQ(0, info.st_size);
        names.insert(name);
    }
    EXPECT_EQ(300u, names.size());
}

TEST_F(TempNamesTest, ProcessesNeverShareAName) {
    const std::string directory = scratch.path();  // without the slash: one is added
    auto creator = [&directory] {
        return platform_tests::StartChild([&directory] {
            for (int i = 0; i < 150; ++i) {
                char name[MAX_PATH];
                if (GetTempFileNameA(directory.c_str(), "~TF", 0, name) == 0) return false;
            }
            return true;
        });
    };
    pid_t first = creator();
    pid_t second = creator();
    ASSERT_EQ(0, platform_tests::WaitForChild(first));
    ASSERT_EQ(0, platform_tests::WaitForChild(second));
    std::string command = "test $(ls '" + directory + "' | grep -c '^~TF....\\.TMP$') -eq 300";
    EXPECT_EQ(0, system(command.c_str()));
}

TEST_F(TempNamesTest, GivenNumberOnlyFormsTheName) {
    char name[MAX_PATH];
    EXPECT_EQ(0x1A2Bu, GetTempFileNameA((scratch.path() + "/").c_str(), "~TFX", 0x1A2B, name));
    EXPECT_EQ(scratch.path() + "/~TF1A2B.TMP", std::string(name));
    struct stat info {};
    EXPECT_NE(0, stat(name, &info)) << "not created";
}

TEST_F(TempNamesTest, FailuresReturnZero) {
    char name[MAX_PATH];
    EXPECT_EQ(0u, GetTempFileNameA((scratch.path() + "/missing/").c_str(), "~TF", 0, name));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
    const std::string deep = scratch.path() + "/" + std::string(250, 'd') + "/";
    EXPECT_EQ(0u, GetTempFileNameA(deep.c_str(), "~TF", 0, name)) << "the name would pass MAX_PATH";
    platform::testing::Reset();
    platform::testing::FailCalls(platform::testing::Service::Create, 1);
    EXPECT_EQ(0u, GetTempFileNameA(scratch.path().c_str(), "~TF", 0, name));
    EXPECT_EQ(1, platform::testing::CallCount(platform::testing::Service::Create));
}

}  // namespace
