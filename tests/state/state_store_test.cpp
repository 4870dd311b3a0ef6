// The registry state store: location, typed values, window position; and the
// job's values kept there under their registry names and types.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "state/job_state.h"
#include "state/state_store.h"
#include "support/plugin_fixture.h"

using test_support::PluginTest;

namespace {

class StateStoreTest : public PluginTest {
protected:
    StateStore Store(const std::string& keyPath) {
        host_.SetKeyPath(keyPath);
        StateStore store;
        store.SetLocation(host_.request.stateKey.stateKeyPath, HKEY_CURRENT_USER, value_names::kSubkey);
        return store;
    }
    void SetRaw(const char* name, DWORD type, const void* data, DWORD size) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, SubkeyPath().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
    }
    // The value's type and bytes as stored, or an empty vector when it is absent.
    std::vector<uint8_t> RawValue(const char* name, DWORD* type) const {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, SubkeyPath().c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            return {};
        std::vector<uint8_t> data(300);
        DWORD size = static_cast<DWORD>(data.size());
        LSTATUS result = RegQueryValueExA(key, name, nullptr, type, data.data(), &size);
        RegCloseKey(key);
        data.resize(result == ERROR_SUCCESS ? size : 0);
        return data;
    }
};

// Every field of the job, compared as a whole so that a value loaded into
// the wrong field shows.
bool SameJob(const JobState& a, const JobState& b) {
    return a.byteOrder == b.byteOrder && a.compression == b.compression && a.pageCount == b.pageCount &&
           a.nextDirectoryField == b.nextDirectoryField && strcmp(a.pageFilePath, b.pageFilePath) == 0 &&
           a.imageFormat == b.imageFormat && a.bandCount == b.bandCount && a.codedStripBytes == b.codedStripBytes &&
           a.directoryEntryCount == b.directoryEntryCount && a.outputEndOffset == b.outputEndOffset &&
           a.appendBase == b.appendBase && strcmp(a.appendFile, b.appendFile) == 0;
}

TEST_F(StateStoreTest, ValuesRoundTripAndTheFirstWriteCreatesTheKeys) {
    StateStore store = Store("Software\\Fresh\\Path");
    uint32_t value = 77;
    EXPECT_FALSE(store.ReadDword("Page Count", &value));
    EXPECT_EQ(value, 77u);
    EXPECT_FALSE(KeyExists());
    EXPECT_TRUE(store.WriteDword("Page Count", 3));
    EXPECT_TRUE(KeyExists());
    EXPECT_TRUE(store.ReadDword("Page Count", &value));
    EXPECT_EQ(value, 3u);

    char path[260];
    memset(path, 'x', sizeof(path));
    EXPECT_TRUE(store.WriteString("TempFile", "/tmp/~TF1.TMP"));
    EXPECT_TRUE(store.ReadString("TempFile", path));
    EXPECT_STREQ(path, "/tmp/~TF1.TMP");
}

TEST_F(StateStoreTest, DeletingAbsentValuesCreatesNothing) {
    StateStore store = Store("Software\\Never\\Written");
    store.DeleteValue("TempFile");
    EXPECT_FALSE(KeyExists());
    store.WriteDword("LoopCount", 1);
    store.DeleteValue("LoopCount");
    store.DeleteValue("LoopCount");
    uint32_t value = 9;
    EXPECT_FALSE(store.ReadDword("LoopCount", &value));
    EXPECT_EQ(value, 9u);
}

TEST_F(StateStoreTest, DwordReadsTakeExactlyFourBytesOfAnyType) {
    StateStore store = Store("Software\\Types");
    const uint8_t four[4] = {0x49, 0x49, 0, 0};
    const uint8_t eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const uint8_t two[2] = {1, 2};
    SetRaw("Binary4", REG_BINARY, four, sizeof(four));
    SetRaw("Binary8", REG_BINARY, eight, sizeof(eight));
    SetRaw("Binary2", REG_BINARY, two, sizeof(two));
    uint32_t value = 5;
    EXPECT_TRUE(store.ReadDword("Binary4", &value));
    EXPECT_EQ(value, 18761u);
    value = 5;
    EXPECT_FALSE(store.ReadDword("Binary8", &value));
    EXPECT_EQ(value, 5u);
    EXPECT_FALSE(store.ReadDword("Binary2", &value));
    EXPECT_EQ(value, 5u);
}

TEST_F(StateStoreTest, OverlongStringsCannotBeRead) {
    StateStore store = Store("Software\\Strings");
    std::string longText(300, 'a');
    SetRaw("TempFile", REG_SZ, longText.c_str(), static_cast<DWORD>(longText.size() + 1));
    char value[260] = "unchanged";
    EXPECT_FALSE(store.ReadString("TempFile", value));
    EXPECT_STREQ(value, "unchanged");
}

TEST_F(StateStoreTest, WindowPositionDefaultsTellAKeyFromNone) {
    StateStore store = Store("Software\\Dialog");
    int32_t x = 0, y = 0;
    EXPECT_FALSE(store.ReadWindowPosition(&x, &y));
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 10);
    store.WriteDword("Compression", 1);
    EXPECT_TRUE(store.ReadWindowPosition(&x, &y));
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 10);
    store.WriteInt("Position X", -40);
    EXPECT_TRUE(store.ReadWindowPosition(&x, &y));
    EXPECT_EQ(x, -40);
    EXPECT_EQ(y, 10);
}

TEST_F(StateStoreTest, KeyPathsUpTo248CharactersWorkAndLongerOnesAreRefused) {
    std::string fits = "Software\\" + std::string(248 - 9, 'k');
    ASSERT_EQ(fits.size(), 248u);
    StateStore store = Store(fits);
    EXPECT_TRUE(store.WriteDword("Page Count", 1));
    uint32_t value = 0;
    EXPECT_TRUE(store.ReadDword("Page Count", &value));

    StateStore tooLong = Store(fits + "k");
    EXPECT_FALSE(tooLong.WriteDword("Page Count", 1));
    value = 4;
    EXPECT_FALSE(tooLong.ReadDword("Page Count", &value));
    EXPECT_EQ(value, 4u);
    int32_t x, y;
    EXPECT_FALSE(tooLong.ReadWindowPosition(&x, &y));

    // An unterminated 256-byte path is refused too, never read past.
    StateStore unterminated;
    char block[256];
    memset(block, 'z', sizeof(block));
    unterminated.SetLocation(block, HKEY_CURRENT_USER, value_names::kSubkey);
    EXPECT_FALSE(unterminated.WriteDword("Page Count", 1));
}

TEST_F(StateStoreTest, LocationsAreSeparateKeys) {
    StateStore first = Store("Software\\First");
    StateStore second = Store("Software\\Second");
    first.WriteDword("Page Count", 1);
    uint32_t value = 0;
    EXPECT_FALSE(second.ReadDword("Page Count", &value));
    second.WriteDword("Page Count", 2);
    EXPECT_TRUE(first.ReadDword("Page Count", &value));
    EXPECT_EQ(value, 1u);
}

// Each job value round-trips under the registry name and type hosts and
// stored registries rely on; an absent one leaves its field untouched.
TEST_F(StateStoreTest, JobValuesKeepTheirRegistryNamesAndTypes) {
    struct Case {
        JobValue value;
        const char* name;
        DWORD type;
        std::vector<uint8_t> bytes;
        void (*set)(JobState&);
    };
    const Case cases[] = {
        {JobValue::ByteOrder, "File Type", REG_DWORD, {0x4D, 0x4D, 0, 0}, [](JobState& j) { j.byteOrder = 19789; }},
        {JobValue::Compression, "Compression", REG_DWORD, {4, 0, 0, 0}, [](JobState& j) { j.compression = 4; }},
        {JobValue::PageCount, "Page Count", REG_DWORD, {3, 1, 0, 0}, [](JobState& j) { j.pageCount = 259; }},
        {JobValue::NextDirectoryField,
         "Next Point",
         REG_DWORD,
         {0xFE, 0xFF, 0xFF, 0xFF},
         [](JobState& j) { j.nextDirectoryField = 0xFFFFFFFE; }},
        {JobValue::PageFilePath,
         "TempFile",
         REG_SZ,
         {'/', 't', '/', '~', 'T', 'F', '1', 0},
         [](JobState& j) { strcpy(j.pageFilePath, "/t/~TF1"); }},
        {JobValue::ImageFormat,
         "ImageFormat",
         REG_DWORD,
         {0xFF, 0xFF, 0xFF, 0xFF},
         [](JobState& j) { j.imageFormat = -1; }},
        {JobValue::BandCount, "LoopCount", REG_DWORD, {7, 0, 0, 0}, [](JobState& j) { j.bandCount = 7; }},
        {JobValue::CodedStripBytes,
         "Image Size",
         REG_DWORD,
         {0, 0, 1, 0},
         [](JobState& j) { j.codedStripBytes = 65536; }},
        {JobValue::DirectoryEntryCount,
         "Directory Count",
         REG_DWORD,
         {14, 0, 0, 0},
         [](JobState& j) { j.directoryEntryCount = 14; }},
        {JobValue::OutputEndOffset,
         "Image Offset",
         REG_DWORD,
         {0x0A, 0x20, 0, 0},
         [](JobState& j) { j.outputEndOffset = 8202; }},
        {JobValue::AppendBase, "Append Base", REG_DWORD, {0x0A, 0x20, 0, 0}, [](JobState& j) { j.appendBase = 8202; }},
        {JobValue::AppendFile,
         "Append File",
         REG_SZ,
         {'0', '8', ':', '1', 0},
         [](JobState& j) { strcpy(j.appendFile, "08:1"); }},
    };
    StateStore store = Store("Software\\Job");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const JobState untouched(store);
        JobState saved(store);
        JobState loaded(store);
        c.set(saved);
        EXPECT_FALSE(loaded.Load(c.value));
        EXPECT_TRUE(SameJob(loaded, untouched));

        EXPECT_TRUE(saved.Save(c.value));
        DWORD type = 0;
        EXPECT_EQ(RawValue(c.name, &type), c.bytes);
        EXPECT_EQ(type, c.type);
        EXPECT_TRUE(loaded.Load(c.value));
        EXPECT_TRUE(SameJob(loaded, saved));

        EXPECT_TRUE(saved.Delete(c.value));
        EXPECT_TRUE(RawValue(c.name, &type).empty());
        EXPECT_TRUE(saved.Delete(c.value)) << "a value never there is gone too";
    }
}

}  // namespace

namespace {

// The names of the values another connection to the registry sees: what is
// committed, not what this process has written and not yet committed.
std::vector<std::string> CommittedNames() {
    std::vector<std::string> names;
    sqlite3* database = nullptr;
    const std::string file = std::string(getenv("ZEDUZ_REGISTRY_DIR")) + "/registry.db";
    if (sqlite3_open_v2(file.c_str(), &database, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_exec(
            database, "SELECT name FROM registry_values ORDER BY name",
            [](void* out, int, char** values, char**) {
                static_cast<std::vector<std::string>*>(out)->push_back(values[0]);
                return 0;
            },
            &names, nullptr);
    }
    sqlite3_close(database);
    return names;
}

}  // namespace

// A group saved or deleted is committed when Save or Delete returns, though
// the store keeps the key open through the command: the next step (a page
// file made, bytes appended) may rely on it surviving a kill.
TEST_F(StateStoreTest, SavedAndDeletedGroupsAreCommittedOnReturn) {
    StateStore store = Store("Software\\Committed");
    JobState job(store);
    job.Load(JobValue::PageCount);  // the key open, as a command has it
    ASSERT_TRUE(job.Save(job_values::kAppendUnderWay));
    EXPECT_EQ(CommittedNames(), (std::vector<std::string>{"Append Base", "Append File"}));
    ASSERT_TRUE(job.Save(JobValue::PageFilePath));
    ASSERT_TRUE(job.Delete(job_values::kAppendUnderWay));
    EXPECT_EQ(CommittedNames(), std::vector<std::string>{"TempFile"});
    EXPECT_TRUE(store.WriteDword("LoopCount", 2));
    EXPECT_EQ(CommittedNames(), (std::vector<std::string>{"LoopCount", "TempFile"}));
}
