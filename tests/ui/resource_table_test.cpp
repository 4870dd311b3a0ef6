// The resource texts the dialogs read, over a test resource library whose
// string table each test fills: splitting "value,label" entries (commas,
// '$', double-byte characters, short buffers), the compression list built
// from them and its preselection, and the settings text's fitting.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "dialog_test_support.h"
#include "support/plugin_fixture.h"
#include "ui/settings_text.h"

using platform::testing::ClickButton;
using ui_test::Opened;
using ui_test::PlayUser;

namespace {

class ResourceTableTest : public test_support::PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        ASSERT_EQ(Run(CmdInitialize), StatusOk);
        shipped_ = ResourceModule();
        testLibrary_ = LoadLibraryA("UiTestResources.so");
        ASSERT_NE(testLibrary_, nullptr);
        setString_ = reinterpret_cast<int (*)(unsigned, const char*)>(dlsym(testLibrary_, "zeduz_test_set_string"));
        auto clear = reinterpret_cast<void (*)()>(dlsym(testLibrary_, "zeduz_test_clear_strings"));
        ASSERT_NE(setString_, nullptr);
        ASSERT_NE(clear, nullptr);
        clear();
        SetResourceModule(testLibrary_);
    }
    void TearDown() override {
        SetResourceModule(shipped_);
        if (testLibrary_ != nullptr) FreeLibrary(testLibrary_);
        PluginTest::TearDown();
    }

    void SetString(UINT id, const std::string& text) {
        texts_.push_back(text);
        ASSERT_TRUE(setString_(id, texts_.back().c_str()));
    }
    // String 2000 and the entries 2001.. from a list.
    void SetList(const std::string& count, const std::vector<std::string>& entries) {
        SetString(IDS_COMPRESSION_COUNT, count);
        for (size_t j = 0; j < entries.size(); ++j) SetString(IDS_COMPRESSION_FIRST + static_cast<UINT>(j), entries[j]);
    }
    uint32_t Value(const char* name) const {
        uint32_t value = 0xDEADBEEF;
        ReadValue(name, &value);
        return value;
    }

    HMODULE shipped_ = nullptr;
    HMODULE testLibrary_ = nullptr;
    int (*setString_)(unsigned, const char*) = nullptr;
    std::deque<std::string> texts_;  // stable addresses for the table
};

struct SplitCase {
    const char* name;
    std::string text;
    int maxFields;
    int bufferSize;
    std::vector<uint8_t> leadBytes;
    int found;
    std::vector<std::string> fields;
};

TEST_F(ResourceTableTest, SplitResourceStringCases) {
    const SplitCase cases[] = {
        {"value and label", "4,CCITT Group 4", 2, 128, {}, 2, {"4", "CCITT Group 4"}},
        {"last field verbatim", "4,Group 4, T.6 $ fax", 2, 128, {}, 2, {"4", "Group 4, T.6 $ fax"}},
        {"dollar before last field", "a$b,c$d", 2, 128, {}, 2, {"a,b", "c$d"}},
        {"no comma: empty label", "4", 2, 128, {}, 1, {"4", ""}},
        {"empty string", "", 3, 128, {}, 1, {"", "", ""}},
        {"trailing comma", "4,", 3, 128, {}, 2, {"4", "", ""}},
        {"one field only", "a,b,c", 1, 128, {}, 1, {"a,b,c"}},
        {"three fields", "a,b,c,d", 3, 128, {}, 3, {"a", "b", "c,d"}},
        {"cut by the buffer", "12345,label", 2, 4, {}, 1, {"123", ""}},
        {"trail byte comma skipped", "\x81,4,label", 2, 128, {0x81}, 2, {"\x81,4", "label"}},
        {"trail byte dollar kept", "\x81$x,y", 2, 128, {0x81}, 2, {"\x81$x", "y"}},
        {"lead byte before terminator", "a\x81", 3, 128, {0x81}, 1, {"a\x81", "", ""}},
        {"lead byte cut by buffer", "ab\x81,x", 2, 4, {0x81}, 1, {"ab\x81", ""}},
    };
    UINT id = 2600;
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.name);
        platform::testing::SetLeadBytes(c.leadBytes);
        SetString(id, c.text);
        // Commas beyond the terminator must never be read as separators.
        std::vector<char> buffer(static_cast<size_t>(c.bufferSize) + 8, ',');
        std::vector<char*> fields(static_cast<size_t>(c.maxFields), nullptr);
        const int found = SplitResourceString(id, c.maxFields, buffer.data(), c.bufferSize, fields.data());
        EXPECT_EQ(found, c.found);
        for (int f = 0; f < c.maxFields; ++f) {
            ASSERT_NE(fields[f], nullptr) << f;
            EXPECT_GE(fields[f], buffer.data());
            EXPECT_LT(fields[f], buffer.data() + c.bufferSize);
            EXPECT_EQ(std::string(fields[f]), c.fields[static_cast<size_t>(f)]) << f;
        }
        ++id;
    }
}

struct ListCase {
    const char* name;
    std::string count;
    std::vector<std::string> entries;
    uint32_t storedCompression;
    std::vector<std::string> shown;
    int preselected;
    uint32_t storedOnOk;
};

TEST_F(ResourceTableTest, CompressionListAndPreselection) {
    const ListCase cases[] = {
        {"stored value preselected", "2", {"1,None", "4,Group 4"}, 4, {"None", "Group 4"}, 1, 4},
        {"last match wins", "3", {"4,A", "1,B", "4,C"}, 4, {"A", "B", "C"}, 2, 4},
        {"no match: first", "2", {"1,None", "4,Group 4"}, 3, {"None", "Group 4"}, 0, 1},
        {"count 0: empty, kept", "0", {"1,None"}, 4, {}, CB_ERR, 4},
        {"negative count: empty", "-2", {"1,None"}, 4, {}, CB_ERR, 4},
        {"no digits: empty", "many", {"1,None"}, 4, {}, CB_ERR, 4},
        {"count with blanks and sign", "  +2 entries", {"1,x", "4,y", "4,z"}, 4, {"x", "y"}, 1, 4},
        {"dollar and comma in label", "1", {"4,Fax$G4, T.6"}, 4, {"Fax$G4, T.6"}, 0, 4},
        {"entry without comma", "2", {"1,None", "4"}, 4, {"None", ""}, 1, 4},
        {"missing entry string", "2", {"1,None"}, 0, {"None", ""}, 1, 0},
        {"value with blanks and sign", "1", {"  +4,G4"}, 1, {"G4"}, 0, 4},
    };
    for (const ListCase& c : cases) {
        SCOPED_TRACE(c.name);
        host_.SetKeyPath(std::string("Software\\ZeduzTests\\List\\") + c.name);
        WriteValue("Compression", c.storedCompression);
        SetList(c.count, c.entries);
        Opened opened;
        PlayUser(&opened, [](HWND dialog) { ClickButton(dialog, IDOK); });
        EXPECT_EQ(Run(CmdSettings), StatusOk);
        ASSERT_EQ(opened.count, 1);
        EXPECT_EQ(opened.entries, c.shown);
        EXPECT_EQ(opened.selection, c.preselected);
        EXPECT_EQ(Value("Compression"), c.storedOnOk);
        // Entries of the next case must not see this one's strings.
        for (size_t j = 0; j < c.entries.size(); ++j) SetString(IDS_COMPRESSION_FIRST + static_cast<UINT>(j), "");
    }
}

TEST_F(ResourceTableTest, HugeCountIsBoundedByTheStringIdentifiers) {
    // Entries live at 2001 onwards and the host texts from 2501: a count
    // beyond 500 cannot name entries and must not exhaust memory.
    SetList("4000000000", {"1,None", "4,Group 4"});
    WriteValue("Compression", 4);
    Opened opened;
    PlayUser(&opened, [](HWND dialog) { ClickButton(dialog, IDOK); });
    EXPECT_EQ(Run(CmdSettings), StatusOk);
    ASSERT_EQ(opened.count, 1);
    ASSERT_EQ(opened.entries.size(), 500u);
    EXPECT_EQ(opened.entries[0], "None");
    EXPECT_EQ(opened.entries[1], "Group 4");
    EXPECT_EQ(opened.selection, 1);
    EXPECT_EQ(Value("Compression"), 4u);
}

TEST_F(ResourceTableTest, SettingsTextIsCutToFitWithoutSplittingACharacter) {
    struct Case {
        const char* name;
        std::string first;
        std::string second;
        std::vector<uint8_t> leadBytes;
        std::string expected;
    };
    const std::string first257(257, 'a');
    const Case cases[] = {
        {"both fit", "Intel (II), ", "uncompressed", {}, "Intel (II), uncompressed"},
        {"second cut", std::string(250, 'a'), std::string(100, 'b'), {}, std::string(250, 'a') + std::string(9, 'b')},
        {"first alone too long", std::string(300, 'a'), "b", {}, std::string(259, 'a')},
        {"double-byte character not split", first257, "x\x81\x40y", {0x81}, first257 + "x"},
        {"double-byte character fits", first257, "\x81\x40y", {0x81}, first257 + "\x81\x40"},
        {"missing strings", "", "", {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform::testing::SetLeadBytes(c.leadBytes);
        SetString(IDS_SETTINGS_INTEL, c.first);
        SetString(IDS_SETTINGS_UNCOMPRESSED, c.second);
        char text[260];
        std::memset(text, 'z', sizeof text);
        ComposeSettingsText(text, 18761, 1);
        EXPECT_EQ(std::string(text), c.expected);
    }
}

TEST_F(ResourceTableTest, SettingsTextChoosesTheStringsByValue) {
    SetString(IDS_SETTINGS_INTEL, "I");
    SetString(IDS_SETTINGS_MOTOROLA, "M");
    SetString(IDS_SETTINGS_UNCOMPRESSED, "1");
    SetString(IDS_SETTINGS_GROUP4, "4");
    SetString(IDS_SETTINGS_COLOR_LZW, "L");
    SetString(IDS_SETTINGS_COLOR_DEFLATE, "D");
    SetString(IDS_SETTINGS_GROUP3_1D, "3");
    SetString(IDS_SETTINGS_GROUP3_2D, "3'");
    SetString(IDS_SETTINGS_PACKBITS, "P");
    SetString(IDS_SETTINGS_COLOR_PACKBITS, "p");
    SetString(IDS_SETTINGS_COLOR_JPEG, "J");
    struct Case {
        int32_t byteOrder;
        int32_t compression;
        int32_t colorCompression;
        const char* expected;
    };
    for (const Case& c :
         {Case{18761, 1, 1, "I1"}, Case{19789, 4, 1, "M4"}, Case{0, 0, 0, "M4"}, Case{18761, 7, 4, "I4"},
          Case{18761, 1, 5, "I1L"}, Case{19789, 4, 8, "M4D"}, Case{18761, 3, 1, "I3"}, Case{18761, 65539, 5, "I3'L"},
          Case{19789, 32773, 32773, "MPp"}, Case{18761, 3, 7, kJpegPagesBuilt ? "I3J" : "I3D"}}) {
        char text[260];
        ComposeSettingsText(text, c.byteOrder, c.compression, c.colorCompression);
        EXPECT_STREQ(text, c.expected);
    }
}

}  // namespace
