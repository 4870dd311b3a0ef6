// The registry stand-in: persistence, crash safety, concurrent writers,
// roots, case rules, Windows query semantics, key-path limits and damaged
// databases.
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "platform_test_support.h"

namespace {

using platform_tests::StartChild;
using platform_tests::WaitForChild;
using test_support::ReadWholeFile;
using test_support::ScratchDirectory;
using test_support::WriteWholeFile;

constexpr char kKey[] = "Software\\Host\\ZEDUZ-ORID";

// Makes the process's connection to the registry in `directory` close, its
// log folded into the file, by using another registry for one call.
void LeaveDatabase(const std::string& directory) {
    setenv("ZEDUZ_REGISTRY_DIR", (directory + "/elsewhere").c_str(), 1);
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, nullptr, 0, KEY_READ, &key));
    setenv("ZEDUZ_REGISTRY_DIR", directory.c_str(), 1);
}

class RegistryTest : public test_support::PlatformTest {
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
        EXPECT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition));
        return key;
    }
    static bool SetDword(HKEY root, const char* path, const char* name, DWORD value) {
        HKEY key = Create(root, path);
        LSTATUS status = RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
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
    // Rows of the database as another program reads them, one string each.
    std::vector<std::string> Rows(const char* sql) const {
        std::vector<std::string> rows;
        sqlite3* database = nullptr;
        EXPECT_EQ(SQLITE_OK,
                  sqlite3_open_v2(scratch.file("registry.db").c_str(), &database, SQLITE_OPEN_READONLY, nullptr));
        sqlite3_exec(
            database, sql,
            [](void* out, int columns, char** values, char**) {
                std::string row;
                for (int i = 0; i < columns; ++i) row += std::string(i > 0 ? "|" : "") + (values[i] ? values[i] : "");
                static_cast<std::vector<std::string>*>(out)->push_back(row);
                return 0;
            },
            &rows, nullptr);
        sqlite3_close(database);
        return rows;
    }
    ScratchDirectory scratch{"zeduz-platform-"};
};

constexpr char kValueRows[] =
    "SELECT k.path, v.name, v.type, hex(v.data) FROM registry_values v JOIN registry_keys k ON k.id = v.key_id"
    " ORDER BY 1, 2";

TEST_F(RegistryTest, ValuesPersistAcrossProcesses) {
    pid_t writer = StartChild([] { return SetDword(HKEY_CURRENT_USER, kKey, "File Type", 0x4D4D); });
    ASSERT_EQ(0, WaitForChild(writer));
    DWORD value = 0;
    ASSERT_EQ(ERROR_SUCCESS, GetDword(HKEY_CURRENT_USER, kKey, "File Type", &value));
    EXPECT_EQ(0x4D4Du, value);
}

TEST_F(RegistryTest, DatabaseHoldsKeysAndValuesAsDocumented) {
    ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kKey, "File Type", 0x4949));
    HKEY key = Create(HKEY_CURRENT_USER, kKey);
    const char path[] = "/tmp/~TF1A2B.TMP";
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExA(key, "TempFile", 0, REG_SZ, reinterpret_cast<const BYTE*>(path), sizeof(path)));
    RegCloseKey(key);
    EXPECT_EQ(Rows(kValueRows),
              (std::vector<std::string>{"HKEY_CURRENT_USER\\Software\\Host\\ZEDUZ-ORID|File Type|4|49490000",
                                        "HKEY_CURRENT_USER\\Software\\Host\\ZEDUZ-ORID|TempFile|1|"
                                        "2F746D702F7E5446314132422E544D5000"}));
    EXPECT_EQ(Rows("PRAGMA journal_mode"), std::vector<std::string>{"wal"});
}

// A writer killed at random moments never leaves a damaged database or
// loses the values it was not changing.
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
        // Still writable: a damaged database would be refused.
        ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kKey, "After", static_cast<DWORD>(round)));
    }
}

// The values written through one key are one commit, made when the key is
// closed: a process killed before that leaves none of them, and every value
// an earlier close committed stays. Until then no other process sees them.
TEST_F(RegistryTest, KilledBeforeTheCloseLosesOnlyTheValuesOfThatKey) {
    int written[2];
    ASSERT_EQ(0, pipe(written));
    pid_t writer = StartChild([&] {
        if (!SetDword(HKEY_CURRENT_USER, kKey, "Page Count", 1)) return false;
        HKEY key = Create(HKEY_CURRENT_USER, kKey);
        DWORD value = 2;
        for (const char* name : {"Page Count", "Next Point"}) {
            if (RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4) != ERROR_SUCCESS)
                return false;
        }
        if (write(written[1], "x", 1) != 1) return false;
        pause();  // killed with the key open
        return true;
    });
    char byte = 0;
    ASSERT_EQ(1, read(written[0], &byte, 1));
    DWORD value = 0;
    ASSERT_EQ(ERROR_SUCCESS, GetDword(HKEY_CURRENT_USER, kKey, "Page Count", &value));
    EXPECT_EQ(1u, value) << "seen before the close";
    kill(writer, SIGKILL);
    WaitForChild(writer);
    ASSERT_EQ(ERROR_SUCCESS, GetDword(HKEY_CURRENT_USER, kKey, "Page Count", &value));
    EXPECT_EQ(1u, value);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetDword(HKEY_CURRENT_USER, kKey, "Next Point", &value));
    EXPECT_TRUE(SetDword(HKEY_CURRENT_USER, kKey, "Next Point", 3)) << "the lock went with the process";
    close(written[0]);
    close(written[1]);
}

// A key that has read values (and so holds a snapshot) writes after another
// program has committed: the write takes the lock afresh instead of failing
// on the outdated snapshot, and loses nothing of the other's.
TEST_F(RegistryTest, WriteAfterReadsSeesAnotherProgramsCommits) {
    ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kKey, "Page Count", 1));
    HKEY key = Create(HKEY_CURRENT_USER, kKey);
    DWORD value = 0, size = sizeof(value);
    ASSERT_EQ(ERROR_SUCCESS,
              RegQueryValueExA(key, "Page Count", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size));
    sqlite3* other = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(scratch.file("registry.db").c_str(), &other));
    ASSERT_EQ(SQLITE_OK, sqlite3_exec(other,
                                      "INSERT INTO registry_values SELECT key_id, 'Other', 4, x'07000000'"
                                      " FROM registry_values WHERE name = 'Page Count'",
                                      nullptr, nullptr, nullptr));
    sqlite3_close(other);
    value = 2;
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Page Count", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4));
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Other", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(7u, value) << "a write ends the snapshot";
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    EXPECT_EQ(Rows("SELECT v.name, hex(v.data) FROM registry_values v ORDER BY 1"),
              (std::vector<std::string>{"Other|07000000", "Page Count|02000000"}));
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
    // The parent's connection is open when it forks: the children must not share it.
    ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kKey, "Parent", 1));
    pid_t first = writer("A");
    pid_t second = writer("B");
    ASSERT_EQ(0, WaitForChild(first));
    ASSERT_EQ(0, WaitForChild(second));
    ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kKey, "Parent", 2));
    for (const char* prefix : {"A", "B"}) {
        for (int i = 0; i < kPerWriter; ++i) {
            DWORD value = 0xFFFF;
            std::string name = prefix + std::to_string(i);
            ASSERT_EQ(ERROR_SUCCESS, GetDword(HKEY_CURRENT_USER, kKey, name.c_str(), &value)) << name;
            EXPECT_EQ(static_cast<DWORD>(i), value);
        }
    }
}

// Processes that find no registry and make one at the same moment all use
// the one that comes about: none takes it for a foreign or damaged file.
TEST_F(RegistryTest, ConcurrentCreationOfANewRegistry) {
    constexpr int kRounds = 30, kWriters = 3;
    for (int round = 0; round < kRounds; ++round) {
        ScratchDirectory fresh{"zeduz-platform-"};
        setenv("ZEDUZ_REGISTRY_DIR", fresh.path().c_str(), 1);
        int go[2];
        ASSERT_EQ(0, pipe(go));
        std::vector<pid_t> writers;
        for (int i = 0; i < kWriters; ++i) {
            writers.push_back(StartChild([&go, i] {
                char start = 0;
                close(go[1]);
                if (read(go[0], &start, 1) != 0) return false;  // all start when the pipe closes
                std::string key = std::string(kKey) + std::to_string(i);
                return SetDword(HKEY_CURRENT_USER, key.c_str(), "Page Count", static_cast<DWORD>(i));
            }));
        }
        close(go[0]);
        close(go[1]);
        for (pid_t writer : writers) ASSERT_EQ(0, WaitForChild(writer)) << "round " << round;
        DWORD value = 0;
        for (int i = 0; i < kWriters; ++i) {
            std::string key = std::string(kKey) + std::to_string(i);
            ASSERT_EQ(ERROR_SUCCESS, GetDword(HKEY_CURRENT_USER, key.c_str(), "Page Count", &value));
        }
    }
    setenv("ZEDUZ_REGISTRY_DIR", scratch.path().c_str(), 1);
}

// A write transaction another program holds is waited for five seconds in
// all, however many calls meet it; later calls fail at once until the lock
// goes, and the first write after that succeeds.
TEST_F(RegistryTest, AnotherProgramsLockIsWaitedForFiveSecondsInAll) {
    ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kKey, "Page Count", 1));
    int locked[2];
    ASSERT_EQ(0, pipe(locked));
    const std::string database = scratch.file("registry.db");
    pid_t holder = StartChild([&] {
        sqlite3* other = nullptr;
        sqlite3_open(database.c_str(), &other);
        bool taken = sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
        if (write(locked[1], "x", 1) != 1 || !taken) return false;
        sleep(7);
        return sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    });
    char byte = 0;
    ASSERT_EQ(1, read(locked[0], &byte, 1));
    const auto start = std::chrono::steady_clock::now();
    HKEY key = Create(HKEY_CURRENT_USER, kKey);
    DWORD value = 2;
    for (int call = 0; call < 4; ++call) {
        EXPECT_EQ(ERROR_LOCK_VIOLATION,
                  RegSetValueExA(key, "Page Count", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), sizeof(value)));
    }
    const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(waited, 4.9);
    EXPECT_LT(waited, 6.5);
    ASSERT_EQ(0, WaitForChild(holder));
    EXPECT_EQ(ERROR_SUCCESS,
              RegSetValueExA(key, "Page Count", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), sizeof(value)));
    RegCloseKey(key);
    close(locked[0]);
    close(locked[1]);
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
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\HOST\\zeduz-orid\\Sub", 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, &disposition));
    EXPECT_EQ(REG_CREATED_NEW_KEY, disposition);
    RegCloseKey(key);
    // Every name keeps its first spelling.
    EXPECT_EQ(Rows(kValueRows),
              std::vector<std::string>{"HKEY_CURRENT_USER\\Software\\Host\\ZEDUZ-ORID|Page Count|4|04000000"});
    EXPECT_EQ(Rows("SELECT path FROM registry_keys WHERE path LIKE '%sub'"),
              std::vector<std::string>{"HKEY_CURRENT_USER\\Software\\Host\\ZEDUZ-ORID\\Sub"});
}

// The registry follows ZEDUZ_REGISTRY_DIR from call to call, and a registry
// deleted under a running process starts afresh.
TEST_F(RegistryTest, FollowsTheRegistryDirectory) {
    ScratchDirectory other{"zeduz-platform-"};
    ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kKey, "V", 1));
    setenv("ZEDUZ_REGISTRY_DIR", other.path().c_str(), 1);
    DWORD value = 0;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetDword(HKEY_CURRENT_USER, kKey, "V", &value));
    setenv("ZEDUZ_REGISTRY_DIR", scratch.path().c_str(), 1);
    ASSERT_EQ(ERROR_SUCCESS, GetDword(HKEY_CURRENT_USER, kKey, "V", &value));
    EXPECT_EQ(1u, value);
    ASSERT_EQ(0, system(("rm -rf '" + scratch.path() + "'/*").c_str()));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetDword(HKEY_CURRENT_USER, kKey, "V", &value));
    ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kKey, "V", 2));
    ASSERT_EQ(ERROR_SUCCESS, GetDword(HKEY_CURRENT_USER, kKey, "V", &value));
    EXPECT_EQ(2u, value);
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
    // The keys on the way were made too.
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Host", 0, KEY_READ, &key));
    RegCloseKey(key);
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
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExA(key, "TempFile", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof(text)));
    DWORD size = 0, type = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "TempFile", nullptr, &type, nullptr, &size));
    EXPECT_EQ(sizeof(text), size);
    EXPECT_EQ(REG_SZ, type);

    char small[4] = {'x', 'x', 'x', 'x'};
    size = sizeof(small);
    EXPECT_EQ(ERROR_MORE_DATA,
              RegQueryValueExA(key, "TempFile", nullptr, nullptr, reinterpret_cast<BYTE*>(small), &size));
    EXPECT_EQ(sizeof(text), size);
    EXPECT_EQ(0, memcmp(small, "xxxx", 4)) << "a failed read leaves the buffer alone";

    char exact[sizeof(text)];
    size = sizeof(exact);
    ASSERT_EQ(ERROR_SUCCESS,
              RegQueryValueExA(key, "TempFile", nullptr, nullptr, reinterpret_cast<BYTE*>(exact), &size));
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
        {"Empty string", REG_SZ, {}},
        {"Binary", REG_BINARY, {0, 1, 0xFE, 0xFF}},
        {"NULs only", REG_BINARY, {0, 0, 0}},
        {"Dword", REG_DWORD, {0x49, 0x49, 0, 0}},
        {"Short dword", REG_DWORD, {1, 2}},
        {"Expand", REG_EXPAND_SZ, {'%', 'T', '%', 0}},
        {"Odd type", 0x1234, {9}},
        {"Highest type", 0xFFFFFFFF, {}},
        {"Long", REG_BINARY, std::vector<uint8_t>(5000, 0xA5)},
        {"", REG_SZ, {'d', 'e', 'f', 0}},
    };
    HKEY key = Create(HKEY_CURRENT_USER, kKey);
    for (const Case& c : cases) {
        ASSERT_EQ(ERROR_SUCCESS,
                  RegSetValueExA(key, c.name, 0, c.type, c.data.data(), static_cast<DWORD>(c.data.size())))
            << c.name;
    }
    RegCloseKey(key);
    LeaveDatabase(scratch.path());  // read back from the file
    HKEY reopened = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &reopened));
    for (const Case& c : cases) {
        BYTE buffer[8192] = {};
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

// A key goes with its values, whatever the spelling; a key with keys below
// it stays, and a key that is not there is not found.
TEST_F(RegistryTest, DeleteKey) {
    const std::string job = std::string(kKey) + "\\Jobs\\0123456789abcdef";
    ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, (job + "\\ZEDUZ-ORID").c_str(), "Page Count", 2));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(HKEY_CURRENT_USER, job.c_str()));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, (job + "\\zeduz-orid").c_str()));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, job.c_str()));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(HKEY_CURRENT_USER, job.c_str()));
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegOpenKeyExA(HKEY_CURRENT_USER, (job + "\\ZEDUZ-ORID").c_str(), 0, KEY_READ, &key));
    // Made anew, the key holds none of the values it had.
    ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, (job + "\\ZEDUZ-ORID").c_str(), "Other", 3));
    DWORD value = 0;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetDword(HKEY_CURRENT_USER, (job + "\\ZEDUZ-ORID").c_str(), "Page Count", &value));
}

TEST_F(RegistryTest, KeyPathLimits) {
    struct Case {
        std::string path;
        LSTATUS expected;
    };
    const std::string component(200, 'k');
    const std::vector<Case> cases = {
        {component + "\\" + std::string(58, 'z'), ERROR_SUCCESS},               // 259 characters
        {component + "\\" + std::string(59, 'z'), ERROR_FILENAME_EXCED_RANGE},  // 260
        {std::string(256, 'n'), ERROR_INVALID_PARAMETER},                       // one name over 255
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
}

// A registry that cannot be used gives its error from every call, the same
// from a handle opened before, and is left as it was: never taken for an
// empty one.
struct DamageCase {
    const char* name;
    // Damages the registry below `scratch`; returns the registry directory.
    std::function<std::string(const std::string& scratch)> damage;
    LSTATUS expected;
};
void PrintTo(const DamageCase& c, std::ostream* out) { *out << c.name; }

class DamagedDatabase : public RegistryTest, public ::testing::WithParamInterface<DamageCase> {};

std::string ReplaceDatabase(const std::string& directory, const std::function<void(const std::string&)>& make) {
    for (const char* suffix : {"", "-wal", "-shm"}) unlink((directory + "/registry.db" + suffix).c_str());
    make(directory + "/registry.db");
    return directory;
}

const DamageCase kDamageCases[] = {
    {"garbage",
     [](const std::string& scratch) {
         return ReplaceDatabase(scratch, [](const std::string& file) { WriteWholeFile(file, std::string(8192, 'x')); });
     },
     ERROR_BADDB},
    {"damaged pages",
     [](const std::string& scratch) {
         LeaveDatabase(scratch);
         std::string bytes = ReadWholeFile(scratch + "/registry.db");
         bytes.replace(100, 200, std::string(200, '\xEE'));
         WriteWholeFile(scratch + "/registry.db", bytes);
         return scratch;
     },
     ERROR_BADDB},
    // The first bytes of the keys' B-tree page: found before any write.
    {"damaged B-tree page",
     [](const std::string& scratch) {
         LeaveDatabase(scratch);
         std::string bytes = ReadWholeFile(scratch + "/registry.db");
         bytes.replace(4096, 4, "\xA5\x5A\xA5\x5A");
         WriteWholeFile(scratch + "/registry.db", bytes);
         return scratch;
     },
     ERROR_BADDB},
    {"another program's database",
     [](const std::string& scratch) {
         return ReplaceDatabase(scratch, [](const std::string& file) {
             sqlite3* database = nullptr;
             sqlite3_open(file.c_str(), &database);
             sqlite3_exec(database, "CREATE TABLE t(x)", nullptr, nullptr, nullptr);
             sqlite3_close(database);
         });
     },
     ERROR_BADDB},
    {"a directory in its place",
     [](const std::string& scratch) {
         return ReplaceDatabase(scratch, [](const std::string& file) { mkdir(file.c_str(), 0700); });
     },
     ERROR_CANTOPEN},
    {"registry directory is a file",
     [](const std::string& scratch) {
         WriteWholeFile(scratch + "/plain", "x");
         return scratch + "/plain";
     },
     ERROR_PATH_NOT_FOUND},
};

TEST_P(DamagedDatabase, EveryCallFails) {
    ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kKey, "Page Count", 1));
    HKEY before = Create(HKEY_CURRENT_USER, kKey);
    const std::string directory = GetParam().damage(scratch.path());
    setenv("ZEDUZ_REGISTRY_DIR", directory.c_str(), 1);
    const std::string damaged = ReadWholeFile(directory + "/registry.db");
    const LSTATUS expected = GetParam().expected;

    DWORD value = 0, size = sizeof(value);
    EXPECT_EQ(expected, GetDword(HKEY_CURRENT_USER, kKey, "Page Count", &value));
    EXPECT_EQ(expected,
              RegQueryValueExA(before, "Page Count", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(expected, RegSetValueExA(before, "Page Count", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4));
    EXPECT_EQ(expected, RegDeleteValueA(before, "Page Count"));
    HKEY key = nullptr;
    EXPECT_EQ(expected, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                        &key, nullptr));
    EXPECT_EQ(nullptr, key);
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(before));
    EXPECT_TRUE(damaged == ReadWholeFile(directory + "/registry.db")) << "the damaged file was changed";
}

INSTANTIATE_TEST_SUITE_P(Cases, DamagedDatabase, ::testing::ValuesIn(kDamageCases));

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
