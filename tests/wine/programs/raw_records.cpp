// The plug-in seen from a host: loads ZeduzTiff.dll by path, lays out the
// request, target and image records byte by byte from their raw offsets, and
// checks what the entry point reads, writes and leaves alone.
//
//   raw_records.exe <plug-in dll> <host key path> initialize
//       CmdInitialize on an empty key, then with stored settings; unknown
//       commands; commands with high bits set; CmdPreparePage; a host key
//       path of the longest length; unloading and reloading the plug-in.
//       Leaves the page's registry values for the calling script to inspect.
//   raw_records.exe <plug-in dll> <host key path> end-job
//       CmdEndJob removes the job's values and keeps the settings.
//   raw_records.exe <plug-in dll> <host key path> no-resources
//       With no resource library beside the plug-in every command is 213 and
//       nothing is touched.
#include <vector>

#include "wine_check.h"

using winetest::Address;
using winetest::Check;
using winetest::Put32;

namespace {

// Offsets of the 32-bit host records.
constexpr size_t kFormatName = 64;
constexpr size_t kFormatComment = 128;
constexpr size_t kFilledFlag = 192;
constexpr size_t kSettingsText = 193;
constexpr size_t kStateKeyPath = 456;
constexpr size_t kStateRoot = 456 + 256;
constexpr size_t kParentWindow = 716;
constexpr size_t kTarget = 724;
constexpr size_t kTargetPath = 0;
constexpr size_t kExtension = 260;
constexpr size_t kImage = 268;
constexpr size_t kMultiPage = 272;
constexpr size_t kAuxFlag = 273;
constexpr size_t kSamplesPerPixel = 16;
constexpr size_t kBitsPerPixel = 36;
constexpr size_t kColorKind = 44;
constexpr size_t kUnsupportedLayout = 48;
constexpr size_t kContinueFile = 52;

constexpr uint16_t kUnknownCommand = 211;
constexpr uint16_t kNoResources = 213;
constexpr uint16_t kUnsupportedImage = 209;

std::string TextAt(const std::vector<uint8_t>& record, size_t offset, size_t width) {
    const char* start = reinterpret_cast<const char*>(&record[offset]);
    size_t length = strnlen(start, width);
    return length < width ? std::string(start, length) : std::string("<not terminated>");
}

// The three host records, filled with a pattern so that every byte the
// plug-in writes shows up.
struct HostRecords {
    std::vector<uint8_t> request = std::vector<uint8_t>(1024, 0xA5);
    std::vector<uint8_t> target = std::vector<uint8_t>(512, 0x5A);
    std::vector<uint8_t> image = std::vector<uint8_t>(128, 0x3C);

    explicit HostRecords(const std::string& hostKey) {
        memset(&request[kStateKeyPath], 0, 256);
        memcpy(&request[kStateKeyPath], hostKey.c_str(), hostKey.size());
        Put32(request, kStateRoot, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(HKEY_CURRENT_USER)));
        Put32(request, kParentWindow, 0);
        Put32(request, kTarget, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(target.data())));
        const char path[] = "C:\\zeduz-raw-records.tif";
        memcpy(&target[kTargetPath], path, sizeof(path));
        Put32(target, kImage, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(image.data())));
        DescribeImage(8, 1, 1, 0);
    }

    void DescribeImage(uint32_t bits, uint32_t samples, uint32_t colorKind, uint32_t unsupported) {
        Put32(image, kBitsPerPixel, bits);
        Put32(image, kSamplesPerPixel, samples);
        Put32(image, kColorKind, colorKind);
        Put32(image, kUnsupportedLayout, unsupported);
        image[kContinueFile] = 0;
    }
};

bool SameBytes(const std::vector<uint8_t>& now, const std::vector<uint8_t>& before, size_t from, size_t to) {
    return memcmp(&now[from], &before[from], to - from) == 0;
}

winetest::CallResult Call(winetest::EntryPoint entry, int32_t command, HostRecords& records) {
    return winetest::CallEntry(entry, command, records.request.data());
}

void CheckInitializeTexts(const HostRecords& after, const winetest::ResourceTexts& texts, UINT byteOrderText,
                          UINT compressionText) {
    Check(TextAt(after.request, kFormatName, 64) == texts.Get(2503, 63), "formatName at 64 is string 2503 (\"%s\")",
          TextAt(after.request, kFormatName, 64).c_str());
    Check(TextAt(after.request, kFormatComment, 64) == texts.Get(2504, 63), "formatComment at 128 is string 2504");
    Check(after.request[kFilledFlag] == 1, "filledFlag at 192 is 1 (%u)", after.request[kFilledFlag]);
    std::string expected = texts.Get(byteOrderText, 259) + texts.Get(compressionText, 127);
    Check(TextAt(after.request, kSettingsText, 260) == expected, "settingsText at 193 is strings %u + %u (\"%s\")",
          byteOrderText, compressionText, TextAt(after.request, kSettingsText, 260).c_str());
    Check(TextAt(after.target, kExtension, 8) == texts.Get(2502, 7), "extension at target+260 is string 2502 (\"%s\")",
          TextAt(after.target, kExtension, 8).c_str());
    Check(after.target[kMultiPage] == 1, "multiPage at target+272 is 1 (%u)", after.target[kMultiPage]);
    Check(after.target[kAuxFlag] == 0, "auxFlag at target+273 is 0 (%u)", after.target[kAuxFlag]);
}

void CheckInitializeLeavesRest(const HostRecords& after, const HostRecords& before) {
    Check(SameBytes(after.request, before.request, 0, 64), "request bytes 0..63 untouched");
    Check(SameBytes(after.request, before.request, 453, 456), "request bytes 453..455 untouched");
    Check(SameBytes(after.request, before.request, 456, after.request.size()),
          "stateKey, parentWindow, target and the bytes behind untouched");
    Check(SameBytes(after.target, before.target, 0, 260), "target path untouched");
    Check(SameBytes(after.target, before.target, 268, 272), "target image pointer untouched");
    Check(SameBytes(after.target, before.target, 274, after.target.size()), "target bytes from 274 untouched");
    Check(after.image == before.image, "image record untouched");
}

void TestInitialize(winetest::EntryPoint entry, const std::string& hostKey, const winetest::ResourceTexts& texts) {
    HostRecords records(hostKey);
    HostRecords before = records;
    winetest::CallResult result = Call(entry, 0, records);
    Check(result.status == 0, "CmdInitialize returns 0 (%u)", result.status);
    Check(result.stackDelta == 0, "the entry point leaves its arguments to the caller (cdecl; stack moved %ld bytes)",
          static_cast<long>(result.stackDelta));
    CheckInitializeTexts(records, texts, 2505, 2507);
    CheckInitializeLeavesRest(records, before);
    Check(!winetest::PluginKeyExists(hostKey), "CmdInitialize on an empty registry writes nothing");

    winetest::WriteDword(hostKey, "File Type", 19789);
    winetest::WriteDword(hostKey, "Compression", 4);
    HostRecords motorola(hostKey);
    Check(Call(entry, 0, motorola).status == 0, "CmdInitialize with File Type 19789, Compression 4 returns 0");
    CheckInitializeTexts(motorola, texts, 2506, 2508);

    winetest::WriteDword(hostKey, "File Type", 12345);
    winetest::WriteDword(hostKey, "Compression", 1);
    HostRecords other(hostKey);
    Call(entry, 0, other);
    CheckInitializeTexts(other, texts, 2506, 2507);
}

void TestCommandNumbers(winetest::EntryPoint entry, const std::string& hostKey) {
    struct Case {
        int32_t command;
        uint16_t expected;
    };
    const Case unknown[] = {{9, kUnknownCommand},
                            {-1, kUnknownCommand},
                            {0x7FFF, kUnknownCommand},
                            {0x10009, kUnknownCommand},
                            {static_cast<int32_t>(0x8000u), kUnknownCommand}};
    for (const Case& c : unknown) {
        HostRecords records(hostKey);
        HostRecords before = records;
        uint16_t status = Call(entry, c.command, records).status;
        Check(status == c.expected, "command 0x%lx returns %u (%u)", static_cast<unsigned long>(c.command), c.expected,
              status);
        Check(records.request == before.request && records.target == before.target,
              "command 0x%lx leaves the records untouched", static_cast<unsigned long>(c.command));
    }
    HostRecords high(hostKey);
    Check(Call(entry, 0x10000, high).status == 0 && high.request[kFilledFlag] == 1,
          "command 0x10000 runs CmdInitialize (only the low 16 bits count)");
}

void TestPreparePage(winetest::EntryPoint entry, const std::string& hostKey) {
    HostRecords refused(hostKey);
    refused.DescribeImage(8, 1, 1, 1);
    Check(Call(entry, 0x10002, refused).status == kUnsupportedImage, "0x10002 with unsupportedLayout set returns 209");
    uint32_t format = 0;
    Check(!winetest::ReadDword(hostKey, "ImageFormat", &format), "a refused page writes no ImageFormat");

    HostRecords grey(hostKey);
    uint16_t status = Call(entry, 0x10002, grey).status;
    Check(status == 0, "0x10002 runs CmdPreparePage: 8-bit grey accepted (%u)", status);
    uint32_t pageCount = 99, imageOffset = 0;
    Check(winetest::ReadDword(hostKey, "ImageFormat", &format) && format == 2008, "ImageFormat 2008 (%lu)",
          static_cast<unsigned long>(format));
    Check(winetest::ReadDword(hostKey, "Page Count", &pageCount) && pageCount == 0, "Page Count 0");
    Check(winetest::ReadDword(hostKey, "Image Offset", &imageOffset) && imageOffset == 8, "Image Offset 8");

    HostRecords rgb(hostKey);
    rgb.DescribeImage(24, 3, 2, 0);
    status = Call(entry, static_cast<int32_t>(0xFFFF0002u), rgb).status;
    Check(status == 0 && winetest::ReadDword(hostKey, "ImageFormat", &format) && format == 1024,
          "0xFFFF0002 runs CmdPreparePage: 24-bit RGB gives ImageFormat 1024 (%u, %lu)", status,
          static_cast<unsigned long>(format));
    HostRecords wrongKind(hostKey);
    wrongKind.DescribeImage(24, 3, 1, 0);
    Check(Call(entry, 2, wrongKind).status == kUnsupportedImage, "24-bit, 3 samples, grey colour kind returns 209");
    Check(winetest::ReadDword(hostKey, "ImageFormat", &format) && format == 1024,
          "a refused page leaves ImageFormat as it was");
}

// A host key path of 248 characters makes a plug-in key path of 259, the
// most the plug-in composes; the real registry takes it.
void TestLongestKeyPath(winetest::EntryPoint entry, const std::string& hostKey, const winetest::ResourceTexts& texts) {
    std::string longKey = hostKey + "\\";
    longKey += std::string(248 - longKey.size(), 'K');
    winetest::WriteDword(longKey, "File Type", 19789);
    winetest::WriteDword(longKey, "Compression", 4);
    HostRecords records(longKey);
    Check(Call(entry, 0, records).status == 0, "CmdInitialize with a host key path of %u characters",
          static_cast<unsigned>(longKey.size()));
    CheckInitializeTexts(records, texts, 2506, 2508);
    HostRecords page(longKey);
    uint32_t format = 0;
    Check(Call(entry, 2, page).status == 0 && winetest::ReadDword(longKey, "ImageFormat", &format) && format == 2008,
          "CmdPreparePage stores ImageFormat under the longest key path");
}

// Detach releases the resource library; a second attach works as the first.
void TestReload(HMODULE* plugin, const std::string& dllPath, const std::string& hostKey) {
    Check(FreeLibrary(*plugin) != FALSE, "the plug-in unloads");
    Check(GetModuleHandleA("ZeduzTiff.dll") == nullptr, "no plug-in module left after unloading");
    Check(GetModuleHandleA("Vizazira.dll") == nullptr, "detach released Vizazira.dll");
    winetest::EntryPoint entry = winetest::LoadEntry(dllPath.c_str(), plugin);
    HostRecords records(hostKey);
    Check(Call(entry, 0, records).status == 0 && records.request[kFilledFlag] == 1,
          "after reloading, CmdInitialize works again");
    Check(GetModuleHandleA("Vizazira.dll") != nullptr, "the reloaded plug-in loaded Vizazira.dll again");
}

void TestEndJob(winetest::EntryPoint entry, const std::string& hostKey) {
    HostRecords records(hostKey);
    uint16_t status = Call(entry, 7, records).status;
    Check(status == 0, "CmdEndJob returns 0 (%u)", status);
    uint32_t value = 0;
    for (const char* name : {"ImageFormat", "Page Count", "Next Point", "LoopCount"})
        Check(!winetest::ReadDword(hostKey, name, &value), "CmdEndJob removed \"%s\"", name);
    std::string text;
    Check(!winetest::ReadString(hostKey, "TempFile", &text), "CmdEndJob removed \"TempFile\"");
    Check(winetest::ReadDword(hostKey, "File Type", &value), "CmdEndJob keeps \"File Type\"");
    Check(winetest::ReadDword(hostKey, "Compression", &value), "CmdEndJob keeps \"Compression\"");
    Check(winetest::ReadDword(hostKey, "Image Offset", &value) && value == 8, "CmdEndJob keeps \"Image Offset\"");
}

void TestNoResources(winetest::EntryPoint entry, const std::string& hostKey) {
    const int32_t commands[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, -1, 0x10002};
    for (int32_t command : commands) {
        HostRecords records(hostKey);
        HostRecords before = records;
        uint16_t status = Call(entry, command, records).status;
        Check(status == kNoResources, "without Vizazira.dll command 0x%lx returns 213 (%u)",
              static_cast<unsigned long>(command), status);
        Check(records.request == before.request && records.target == before.target && records.image == before.image,
              "without Vizazira.dll command 0x%lx touches no record", static_cast<unsigned long>(command));
    }
    Check(!winetest::PluginKeyExists(hostKey), "without Vizazira.dll nothing reaches the registry");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: raw_records <plug-in dll> <host key path> initialize|end-job|no-resources\n");
        return 2;
    }
    std::string dllPath = argv[1];
    std::string hostKey = argv[2];
    std::string mode = argv[3];
    HMODULE plugin = nullptr;
    winetest::EntryPoint entry = winetest::LoadEntry(dllPath.c_str(), &plugin);
    if (mode == "initialize") {
        winetest::ResourceTexts texts(dllPath);
        TestInitialize(entry, hostKey, texts);
        TestCommandNumbers(entry, hostKey);
        TestLongestKeyPath(entry, hostKey, texts);
        TestPreparePage(entry, hostKey);
        TestReload(&plugin, dllPath, hostKey);
    } else if (mode == "end-job") {
        TestEndJob(entry, hostKey);
    } else if (mode == "no-resources") {
        TestNoResources(entry, hostKey);
    } else {
        fprintf(stderr, "unknown mode %s\n", mode.c_str());
        return 2;
    }
    return winetest::Finish();
}
