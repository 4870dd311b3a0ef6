// The registry stand-in: persistence, crash safety, concurrent writers,
// roots, case rules, Windows query semantics and key-path limits.
#include <signal.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "platform_test_support.h"

namespace {

using platform_tests::ReadWholeFile;
using platform_tests::ScratchDirectory;
using platform_tests::StartChild;
using platform_tests::WaitForChild;

constexpr char kKey[] = "Software\\Host\\ZEDUZ-ORID";

class RegistryTest : public platform_tests::PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        setenv("ZEDUZ_REGISTRY_DIR", scratch.path().c_str(), 1);
    }
    void TearDown() override {
        unsetenv("ZEDUZ_REGISTRY_DIR");
        PlatformTest::TearDown();
    }

    static HKEY Create(HKEY root, const char* path) {
        HKEY key = nullptr;
        DWORD disposition = 0;
        EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                                 &disposition));
        return key;
    }
    static bool SetDword(HKEY root, const char* path, const char* name, DWORD value) {
        HKEY key = Create(root, path);
        LSTATUS status =
            RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
        RegCloseKey(key);
        return status == ERROR_SUCCESS;
    }
    static LSTATUS GetDword(HKEY root, const char* path, const char* name, DWORD* value) {
        HKEY key = nullptr;
        LSTATUS status = RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key);
        if (status != ERROR_SUCCESS) return status;
        DWORD size = sizeof(*value);
        status = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
        RegCloseKey(key);
        return status;
    }

    ScratchDirectory scratch;
};

TEST_F(RegistryTest, ValuesPersistAcrossProcesses) {
    pid_t writer = StartChild([] { return SetDword(HKEY_CURRENT_USER, kKey, "File Type", 0x4D4D); });
    ASSERT_EQ(0, WaitForChild(writer));
    DWORD value = 0;
    ASSERT_EQ(ERROR_SUCCESS, GetDword(HKEY_CURRENT_USER, kKey, "File Type", &value));
    EXPECT_EQ(0x4D4Du, value);
}

TEST_F(RegistryTest, StorageIsHumanReadable) {
    ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kKey, "File Type", 0x4949));
    HKEY key = Create(HKEY_CURRENT_USER, kKey);
    const char path[] = "/tmp/~TF1A2B.TMP";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "TempFile", 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                                            sizeof(path)));
    RegCloseKey(key);
    std::string text =
        ReadWholeFile(scratch.path() + "/HKEY_CURRENT_USER/Software/Host/ZEDUZ-ORID/values.reg");
    EXPECT_NE(std::string::npos, text.find("\"File Type\"=dword:00004949\n")) << text;
    EXPECT_NE(std::string::npos, text.find("\"TempFile\"=\"/tmp/~TF1A2B.TMP\"\n")) << text;
}

// A writer killed at random moments never leaves a damaged file or loses
// the values it was not changing.
TEST_F(RegistryTest, CrashDuringWritesKeepsOtherValues) {
    ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kKey, "Compression", 4));
    for (int round = 0; round < 5; ++round) {
        pid_t writer = StartChild([] {
            for (DWORD i = 0;; ++i) SetDword(HKEY_CURRENT_USER, kKey, "Counter", i);
            return true;
        });
        usleep(20000 + round * 7000);
        kill(writer, SIGKILL);
        WaitForChild(writer);
        DWORD compression = 0;
        ASSERT_EQ(ERROR_SUCCESS, GetDword(HKEY_CURRENT_USER, kKey, "Compression", &compression));
        EXPECT_EQ(4u, compression);
        // Still writable: a damaged file would be refused.
        ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kKey, "After", static_cast<DWORD>(round)));
    }
}

TEST_F(RegistryTest, ConcurrentWritersLoseNothing) {
    constexpr int kPerWriter = 60;
    auto writer = [](const char* prefix) {
        return StartChild([prefix] {
            for (int i = 0; i < kPerWriter; ++i) {
                std::string name = prefix + std::to_string(i);
                if (!SetDword(HKEY_CURRENT_USER, kKey, name.c_str(), static_cast<DWORD>(i))) return false;
            }
            return true;
        });
    };
    pid_t first = writer("A");
    pid_t second = writer("B");
    ASSERT_EQ(0, WaitForChild(first));
    ASSERT_EQ(0, WaitForChild(second));
    for (const char* prefix : {"A", "B"}) {
        for (int i = 0; i < kPerWriter; ++i) {
            DWORD value = 0xFFFF;
            std::string name = prefix + std::to_string(i);
            ASSERT_EQ(ERROR_SUCCESS, GetDword(HKEY_CURRENT_USER, kKey, name.c_str(), &value)) << name;
            EXPECT_EQ(static_cast<DWORD>(i), value);
        }
    }
}

TEST_F(RegistryTest, PredefinedRootsAreSeparateTrees) {
    ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kKey, "V", 1));
    ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, kKey, "V", 2));
    DWORD value = 0;
    ASSERT_EQ(ERROR_SUCCESS, GetDword(HKEY_CURRENT_USER, kKey, "V", &value));
    EXPECT_EQ(1u, value);
    ASSERT_EQ(ERROR_SUCCESS, GetDword(HKEY_LOCAL_MACHINE, kKey, "V", &value));
    EXPECT_EQ(2u, value);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetDword(HKEY_USERS, kKey, "V", &value));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetDword(HKEY_CLASSES_ROOT, kKey, "V", &value));
}

TEST_F(RegistryTest, KeyAndValueNamesIgnoreCase) {
    ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, "Software\\Host\\ZEDUZ-ORID", "Page Count", 3));
    ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, "SOFTWARE\\host\\zeduz-orid", "PAGE COUNT", 4));
    DWORD value = 0;
    ASSERT_EQ(ERROR_SUCCESS, GetDword(HKEY_CURRENT_USER, "software\\HOST\\Zeduz-Orid", "page count", &value));
    EXPECT_EQ(4u, value);
    std::string text =
        ReadWholeFile(scratch.path() + "/HKEY_CURRENT_USER/Software/Host/ZEDUZ-ORID/values.reg");
    EXPECT_NE(std::string::npos, text.find("\"Page Count\"=dword:00000004")) << "first spelling kept: " << text;
}

TEST_F(RegistryTest, OpenedKeyServesAsRoot) {
    HKEY host = Create(HKEY_CURRENT_USER, "Software\\Host");
    ASSERT_TRUE(SetDword(host, "ZEDUZ-ORID", "Next Point", 1234));
    RegCloseKey(host);
    DWORD value = 0;
    ASSERT_EQ(ERROR_SUCCESS, GetDword(HKEY_CURRENT_USER, kKey, "Next Point", &value));
    EXPECT_EQ(1234u, value);
}

TEST_F(RegistryTest, CreateReportsDispositionAndOpenMissingFails) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition));
    EXPECT_EQ(REG_CREATED_NEW_KEY, disposition);
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition));
    EXPECT_EQ(REG_OPENED_EXISTING_KEY, disposition);
    RegCloseKey(key);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Other", 0, KEY_READ, &key));
    EXPECT_EQ(nullptr, key);
}

TEST_F(RegistryTest, FourByteBinaryReadsAsNumber) {
    HKEY key = Create(HKEY_CURRENT_USER, kKey);
    const BYTE bytes[4] = {0x49, 0x49, 0, 0};
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "File Type", 0, REG_BINARY, bytes, sizeof(bytes)));
    DWORD value = 0, size = sizeof(value), type = 0;
    ASSERT_EQ(ERROR_SUCCESS,
              RegQueryValueExA(key, "File Type", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(REG_BINARY, type);
    EXPECT_EQ(4u, size);
    EXPECT_EQ(0x4949u, value);
    RegCloseKey(key);
}

TEST_F(RegistryTest, QueryFollowsWindowsSizeRules) {
    HKEY key = Create(HKEY_CURRENT_USER, kKey);
    const char text[] = "/tmp/~TF0001.TMP";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "TempFile", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                            sizeof(text)));
    DWORD size = 0, type = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "TempFile", nullptr, &type, nullptr, &size));
    EXPECT_EQ(sizeof(text), size);
    EXPECT_EQ(REG_SZ, type);

    char small[4] = {'x', 'x', 'x', 'x'};
    size = sizeof(small);
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(key, "TempFile", nullptr, nullptr, reinterpret_cast<BYTE*>(small), &size));
    EXPECT_EQ(sizeof(text), size);
    EXPECT_EQ(0, memcmp(small, "xxxx", 4)) << "a failed read leaves the buffer alone";

    char exact[sizeof(text)];
    size = sizeof(exact);
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "TempFile", nullptr, nullptr, reinterpret_cast<BYTE*>(exact), &size));
    EXPECT_STREQ(text, exact);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key, "Missing", nullptr, nullptr, nullptr, &size));
    RegCloseKey(key);
}

// Every value comes back byte for byte with its type.
TEST_F(RegistryTest, ValuesRoundTrip) {
    struct Case {
        const char* name;
        DWORD type;
        std::vector<uint8_t> data;
    };
    const std::vector<Case> cases = {
        {"Plain", REG_SZ, {'a', 'b', 0}},
        {"Quotes \"and\" \\slashes\\", REG_SZ, {'"', '\\', '=', '"', 0}},
        {"High bytes", REG_SZ, {0xE4, 0xF6, 0xFC, '\n', '\r', 0}},
        {"No terminator", REG_SZ, {'a', 'b'}},
        {"Inner NUL", REG_SZ, {'a', 0, 'b', 0}},
        {"Empty", REG_BINARY, {}},
        {"Binary", REG_BINARY, {0, 1, 0xFE, 0xFF}},
        {"Short dword", REG_DWORD, {1, 2}},
        {"Expand", REG_EXPAND_SZ, {'%', 'T', '%', 0}},
        {"Odd type", 0x1234, {9}},
        {"", REG_SZ, {'d', 'e', 'f', 0}},
    };
    HKEY key = Create(HKEY_CURRENT_USER, kKey);
    for (const Case& c : cases) {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, c.name, 0, c.type, c.data.data(), static_cast<DWORD>(c.data.size())))
            << c.name;
    }
    RegCloseKey(key);
    HKEY reopened = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &reopened));
    for (const Case& c : cases) {
        BYTE buffer[64] = {};
        DWORD size = sizeof(buffer), type = 0;
        ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(reopened, c.name, nullptr, &type, buffer, &size)) << c.name;
        EXPECT_EQ(c.type, type) << c.name;
        EXPECT_EQ(c.data, std::vector<uint8_t>(buffer, buffer + size)) << c.name;
    }
    RegCloseKey(reopened);
}

TEST_F(RegistryTest, DeleteValue) {
    ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kKey, "LoopCount", 2));
    ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kKey, "Keep", 7));
    HKEY key = Create(HKEY_CURRENT_USER, kKey);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, "loopcount"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(key, "LoopCount"));
    RegCloseKey(key);
    DWORD value = 0;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetDword(HKEY_CURRENT_USER, kKey, "LoopCount", &value));
    EXPECT_EQ(ERROR_SUCCESS, GetDword(HKEY_CURRENT_USER, kKey, "Keep", &value));
}

TEST_F(RegistryTest, KeyPathLimits) {
    struct Case {
        std::string path;
        LSTATUS expected;
    };
    const std::string component(200, 'k');
    const std::vector<Case> cases = {
        {component + "\\" + std::string(58, 'z'), ERROR_SUCCESS},  // 259 characters
        {component + "\\" + std::string(59, 'z'), ERROR_FILENAME_EXCED_RANGE},  // 260
        {std::string(256, 'n'), ERROR_INVALID_PARAMETER},  // one name over 255
        {"\\Leading", ERROR_INVALID_PARAMETER},
        {"Trailing\\", ERROR_INVALID_PARAMETER},
        {"Double\\\\Slash", ERROR_INVALID_PARAMETER},
        {"Dots.and/slashes%", ERROR_SUCCESS},
        {"..", ERROR_SUCCESS},
    };
    for (const Case& c : cases) {
        HKEY key = nullptr;
        LSTATUS status =
            RegCreateKeyExA(HKEY_CURRENT_USER, c.path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        EXPECT_EQ(c.expected, status) << c.path.size() << " " << c.path.substr(0, 20);
        if (status == ERROR_SUCCESS) {
            DWORD value = 5;
            EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "V", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4));
            RegCloseKey(key);
            EXPECT_EQ(ERROR_SUCCESS, GetDword(HKEY_CURRENT_USER, c.path.c_str(), "V", &value)) << c.path;
        }
    }
    // Names that look like path steps stay inside the registry directory.
    EXPECT_NE("", ReadWholeFile(scratch.path() + "/HKEY_CURRENT_USER/%2E%2E/values.reg"));
}

TEST_F(RegistryTest, DamagedFileIsReadButNeverRewritten) {
    ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kKey, "Good", 1));
    const std::string file = scratch.path() + "/HKEY_CURRENT_USER/Software/Host/ZEDUZ-ORID/values.reg";
    std::string damaged = ReadWholeFile(file) + "\"Broken\"=dword:zz\n";
    platform_tests::WriteWholeFile(file, damaged);
    DWORD value = 0;
    EXPECT_EQ(ERROR_SUCCESS, GetDword(HKEY_CURRENT_USER, kKey, "Good", &value));
    EXPECT_EQ(1u, value);
    HKEY key = Create(HKEY_CURRENT_USER, kKey);
    EXPECT_EQ(ERROR_BADDB, RegSetValueExA(key, "New", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4));
    RegCloseKey(key);
    EXPECT_EQ(damaged, ReadWholeFile(file));
}

TEST_F(RegistryTest, BadHandlesAndAccess) {
    DWORD value = 1, size = 4;
    HKEY bogus = reinterpret_cast<HKEY>(&value);
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryValueExA(bogus, "V", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(bogus));
    HKEY key = Create(HKEY_CURRENT_USER, kKey);
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(key)) << "closed twice";
    HKEY readOnly = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &readOnly));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExA(readOnly, "V", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4));
    RegCloseKey(readOnly);
}

}  // namespace
