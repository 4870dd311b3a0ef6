// The generated resource library through the module and string services:
// loading, string lookup and truncation, the room each text has, the dialog
// templates, and the module names.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/resource_tables.h"
#include "platform/win32.h"
#include "platform_test_support.h"
#include "resources/resource_ids.h"

namespace {

using test_support::BinDirectory;

class ResourceLibraryTest : public test_support::PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        library = LoadLibraryA((BinDirectory() + "/Vizazira.so").c_str());
        ASSERT_NE(nullptr, library) << "Vizazira.so in " << BinDirectory();
    }
    void TearDown() override {
        if (library != nullptr) FreeLibrary(library);
        PlatformTest::TearDown();
    }
    std::string Load(UINT id, int size = 260) {
        std::vector<char> buffer(static_cast<size_t>(size), '#');
        int count = LoadStringA(library, id, buffer.data(), size);
        EXPECT_EQ(static_cast<size_t>(count), strlen(buffer.data()));
        return buffer.data();
    }

    HMODULE library = nullptr;
};

TEST_F(ResourceLibraryTest, StringsTruncateToTheBufferAndMissingOnesAreEmpty) {
    EXPECT_EQ("tif", Load(IDS_FILE_EXTENSION));
    EXPECT_EQ("ti", Load(IDS_FILE_EXTENSION, 3));
    EXPECT_EQ("", Load(IDS_FILE_EXTENSION, 1));
    EXPECT_EQ("", Load(9999));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());
    char untouched = 'x';
    EXPECT_EQ(0, LoadStringA(library, IDS_FILE_EXTENSION, &untouched, 0));
    EXPECT_EQ('x', untouched);
}

// Every text fits the field the plug-in loads it into.
TEST_F(ResourceLibraryTest, TextsFitTheirRoom) {
    struct Room {
        UINT id;
        size_t characters;
    };
    const std::vector<Room> rooms = {
        {IDS_MESSAGE_CAPTION, 31},     {IDS_FILE_EXTENSION, 7},           {IDS_FORMAT_NAME, 63},
        {IDS_FORMAT_COMMENT, 63},      {IDS_MESSAGE_NO_MEMORY, 127},      {IDS_MESSAGE_DISK_FULL, 127},
        {IDS_MESSAGE_FILE_ERROR, 127}, {IDS_MESSAGE_NOT_APPENDABLE, 127}, {IDS_MESSAGE_STATE_UNAVAILABLE, 127},
        {IDS_MESSAGE_EMPTY_PAGE, 127}, {IDS_COMPRESSION_FIRST, 127},      {IDS_COMPRESSION_FIRST + 1, 127},
    };
    for (const Room& room : rooms) {
        std::string text = Load(room.id, 1024);
        EXPECT_FALSE(text.empty()) << room.id;
        EXPECT_LE(text.size(), room.characters) << room.id << ": " << text;
    }
    for (UINT byteOrder : {IDS_SETTINGS_INTEL, IDS_SETTINGS_MOTOROLA}) {
        for (UINT compression : {IDS_SETTINGS_UNCOMPRESSED, IDS_SETTINGS_GROUP4}) {
            EXPECT_LE(Load(byteOrder, 1024).size() + Load(compression, 1024).size(), 259u);
        }
    }
}

TEST_F(ResourceLibraryTest, CompressionListHoldsNoneAndGroupFour) {
    int count = atoi(Load(IDS_COMPRESSION_COUNT).c_str());
    ASSERT_EQ(5, count);
    EXPECT_EQ(0u, Load(IDS_COMPRESSION_FIRST).rfind("1,", 0));
    EXPECT_EQ(0u, Load(IDS_COMPRESSION_FIRST + 1).rfind("4,", 0));
    EXPECT_EQ(0u, Load(IDS_COMPRESSION_FIRST + 2).rfind("3,", 0));
    EXPECT_EQ(0u, Load(IDS_COMPRESSION_FIRST + 3).rfind("65539,", 0));
    EXPECT_EQ(0u, Load(IDS_COMPRESSION_FIRST + 4).rfind("32773,", 0));
}

TEST_F(ResourceLibraryTest, DialogTemplatesHoldTheControlsThePlugInUses) {
    const ZeduzDialogTemplate* details = FindDialogTemplate(library, IDD_DETAILS_NAME);
    ASSERT_NE(nullptr, details);
    EXPECT_EQ(details, FindDialogTemplate(library, "details")) << "names ignore case";
    struct Expected {
        int id;
        const char* className;
        unsigned typeBits;  // low style bits naming the kind of control
        unsigned typeMask;
    };
    const std::vector<Expected> expected = {
        {IDC_BYTE_ORDER_INTEL, "BUTTON", 0x9, 0xF},  // automatic radio button
        {IDC_BYTE_ORDER_MOTOROLA, "BUTTON", 0x9, 0xF},
        {IDC_COMPRESSION_LIST, "COMBOBOX", 0x3, 0x3},  // drop-down list
        {IDOK, "BUTTON", 0x1, 0xF},
        {IDCANCEL, "BUTTON", 0x0, 0xF},
    };
    for (const Expected& e : expected) {
        const ZeduzControlTemplate* found = nullptr;
        for (int i = 0; i < details->controlCount; ++i) {
            if (details->controls[i].id == e.id) found = &details->controls[i];
        }
        ASSERT_NE(nullptr, found) << e.id;
        EXPECT_STREQ(e.className, found->className) << e.id;
        EXPECT_EQ(e.typeBits, found->style & e.typeMask) << e.id;
        EXPECT_GT(found->cx, 0);
    }
    const ZeduzDialogTemplate* about = FindDialogTemplate(library, IDD_ABOUT_NAME);
    ASSERT_NE(nullptr, about);
    bool hasVersion = false;
    for (int i = 0; i < about->controlCount; ++i) {
        hasVersion = hasVersion || strstr(about->controls[i].text, "1.0") != nullptr;
    }
    EXPECT_TRUE(hasVersion);
    EXPECT_EQ(nullptr, FindDialogTemplate(library, "MISSING"));
    EXPECT_EQ(nullptr, FindDialogTemplate(nullptr, IDD_ABOUT_NAME));
}

TEST_F(ResourceLibraryTest, WindowsNameFindsTheLinuxLibrary) {
    HMODULE byWindowsName = LoadLibraryA((BinDirectory() + "/Vizazira.dll").c_str());
    ASSERT_NE(nullptr, byWindowsName);
    EXPECT_EQ(library, byWindowsName);
    FreeLibrary(byWindowsName);
    EXPECT_EQ(nullptr, LoadLibraryA((BinDirectory() + "/Missing.dll").c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
}

TEST_F(ResourceLibraryTest, ModuleFromAddressAndItsFileName) {
    FARPROC table = GetProcAddress(library, "zeduz_string_table");
    ASSERT_NE(nullptr, table);
    HMODULE owner = nullptr;
    ASSERT_TRUE(
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(table), &owner));
    EXPECT_EQ(library, owner);
    const std::string expected = BinDirectory() + "/Vizazira.so";
    char name[MAX_PATH];
    EXPECT_EQ(expected.size(), GetModuleFileNameA(owner, name, sizeof(name)));
    EXPECT_EQ(expected, name);
    char shortBuffer[8];
    EXPECT_EQ(8u, GetModuleFileNameA(owner, shortBuffer, sizeof(shortBuffer)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(expected.substr(0, 7), shortBuffer);

    // An address in the program itself names the program.
    HMODULE program = nullptr;
    ASSERT_TRUE(
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(&BinDirectory), &program));
    char programName[MAX_PATH];
    char selfName[MAX_PATH];
    GetModuleFileNameA(program, programName, sizeof(programName));
    GetModuleFileNameA(nullptr, selfName, sizeof(selfName));
    EXPECT_STREQ(selfName, programName);
}

}  // namespace
