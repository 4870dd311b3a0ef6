// The plug-in library loaded the way a host loads it: at attach it must find
// its own file through the module services and load the resource library
// beside it.
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "platform_test_support.h"

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
