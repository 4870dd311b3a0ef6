// The registry state store: location, typed values, window position.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

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
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, SubkeyPath().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
    }
};

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

}  // namespace
