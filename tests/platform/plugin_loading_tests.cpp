// The plug-in library loaded the way a host loads it: at attach it must find
// its own file through the module services and load the resource library
// beside it.
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "platform_test_support.h"

// These tests unload the plug-in while its thread-local block is live. The
// leak checker's tracking of such blocks then keeps a stale one, and reading
// it at exit crashes the checker or not depending on the program's layout
// (adding an unrelated test to this program was enough). The leak check goes
// without that tracking: no allocation is held by thread-local storage only,
// so it can hide no leak. ASAN_OPTIONS given by the user still win.
extern "C" const char* __asan_default_options() { return "intercept_tls_get_addr=0"; }

namespace {

typedef uint32_t (*EntryPoint)(int32_t command, void* request);

constexpr uint32_t kStatusUnknownCommand = 211;
constexpr uint32_t kStatusNoResources = 213;

using test_support::BinDirectory;

uint32_t UnknownCommandStatus(const std::string& pluginPath) {
    HMODULE plugin = LoadLibraryA(pluginPath.c_str());
    EXPECT_NE(nullptr, plugin) << pluginPath;
    if (plugin == nullptr) return 0;
    FARPROC found = GetProcAddress(plugin, "ZUVadeZoduv");
    EXPECT_NE(nullptr, found);
    std::vector<uint8_t> request(4096, 0);  // larger than any host record
    uint32_t status =
        found == nullptr
            ? 0
            : reinterpret_cast<EntryPoint>(reinterpret_cast<void (*)()>(found))(9, request.data()) & 0xFFFF;
    FreeLibrary(plugin);
    return status;
}

class PluginLoadingTest : public test_support::PlatformTest {};

TEST_F(PluginLoadingTest, FindsTheResourceLibraryBesideItself) {
    EXPECT_EQ(kStatusUnknownCommand, UnknownCommandStatus(BinDirectory() + "/libzeduztiff.so"));
}

TEST_F(PluginLoadingTest, WithoutResourceLibraryEveryCommandIsRefused) {
    test_support::ScratchDirectory alone{"zeduz-platform-"};
    std::string copy = "cp '" + BinDirectory() + "/libzeduztiff.so' '" + alone.path() + "/'";
    ASSERT_EQ(0, system(copy.c_str()));
    EXPECT_EQ(kStatusNoResources, UnknownCommandStatus(alone.path() + "/libzeduztiff.so"));
}

}  // namespace
