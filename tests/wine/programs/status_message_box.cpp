// The message boxes of the plug-in, read from the screen. Runs under a
// virtual display: a watcher thread finds every dialog box of this process,
// reads its caption, its text and its owner, and presses OK, while the main
// thread drives the plug-in through its entry point with raw host records.
//
//   status_message_box.exe <plug-in dll> <host key path> <missing dir> <work dir>
//
// A page for a file in the missing directory fails when it is committed with
// a file status (202 to 206), which must show string 3002 under caption 2501,
// owned by the host's window. A page added to a file in the work directory
// that is no TIFF file fails with 215 and string 3003. Statuses without a box
// (0, 209, 211) must show none.
#include <atomic>
#include <vector>

#include "wine_check.h"

using winetest::PutPointer;
namespace offsets = winetest::offsets;
using winetest::Check;
using winetest::Put32;

namespace {

struct SeenBox {
    std::string caption;
    std::string text;
    HWND owner = nullptr;
};

CRITICAL_SECTION g_lock;
std::vector<SeenBox> g_seen;
std::atomic<DWORD> g_callStarted{0};

BOOL CALLBACK AnswerBox(HWND window, LPARAM) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[64] = {};
    GetClassNameA(window, className, sizeof(className));
    if (process != GetCurrentProcessId() || strcmp(className, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    SeenBox box;
    char text[512] = {};
    GetWindowTextA(window, text, sizeof(text));
    box.caption = text;
    text[0] = 0;
    GetDlgItemTextA(window, 0xFFFF, text, sizeof(text));  // the box's static text
    box.text = text;
    box.owner = GetWindow(window, GW_OWNER);
    EnterCriticalSection(&g_lock);
    g_seen.push_back(box);
    LeaveCriticalSection(&g_lock);
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, IDOK)));
    return TRUE;
}

// Answers boxes as a user would, and ends the test if a call hangs.
DWORD WINAPI Watcher(LPVOID) {
    for (;;) {
        EnumWindows(AnswerBox, 0);
        winetest::EndIfHung(g_callStarted.load(), "a command did not return within 60 s (a box nobody could answer?)");
        Sleep(50);
    }
}

std::vector<SeenBox> TakeSeen() {
    EnterCriticalSection(&g_lock);
    std::vector<SeenBox> seen;
    seen.swap(g_seen);
    LeaveCriticalSection(&g_lock);
    return seen;
}

struct Host {
    uint8_t request[1024] = {};
    uint8_t target[512] = {};
    uint8_t image[128] = {};
    uint8_t pixels[64] = {};

    Host(const std::string& hostKey, const std::string& outputPath, HWND owner) {
        memcpy(request + offsets::kStateKeyPath, hostKey.c_str(), hostKey.size());
        PutPointer(request, offsets::kStateRoot, HKEY_CURRENT_USER);
        PutPointer(request, offsets::kParentWindow, owner);
        PutPointer(request, offsets::kTarget, target);
        memcpy(target, outputPath.c_str(), outputPath.size());
        PutPointer(target, offsets::kTargetImage, image);
        for (size_t i = 0; i < sizeof(pixels); ++i) pixels[i] = static_cast<uint8_t>(i * 7);
    }

    // An 8-bit grey page of 4 x 2 pixels at 300 dpi, in one band.
    void DescribeGreyPage(uint32_t unsupported) {
        Put32(image, 0, 300);
        Put32(image, 4, 300);
        Put32(image, 8, 4);
        Put32(image, 12, 2);
        Put32(image, 16, 1);
        PutPointer(image, offsets::kImagePixels, pixels);
        Put32(image, offsets::kImageBitsPerPixel, 8);
        Put32(image, offsets::kImageColorKind, 1);
        Put32(image, offsets::kImageUnsupported, unsupported);
        image[offsets::kImageContinueFile] = 0;
    }
};

uint16_t Run(winetest::EntryPoint entry, Host& host, int32_t command) {
    g_callStarted = GetTickCount() | 1;
    uint16_t status = winetest::CallEntry(entry, command, host.request).status;
    g_callStarted = 0;
    return status;
}

void ExpectNoBox(winetest::EntryPoint entry, Host& host, int32_t command, uint16_t expected, const char* what) {
    uint16_t status = Run(entry, host, command);
    std::vector<SeenBox> seen = TakeSeen();
    Check(status == expected, "%s returns %u (%u)", what, expected, status);
    Check(seen.empty(), "%s shows no message box (%u shown%s%s)", what, static_cast<unsigned>(seen.size()),
          seen.empty() ? "" : ": ", seen.empty() ? "" : seen[0].text.c_str());
}

// The command fails with a status in [low, high] and shows exactly one box:
// the status's text under the plug-in's caption, owned by the host window.
void ExpectBox(winetest::EntryPoint entry, Host& host, int32_t command, const char* what, uint16_t low, uint16_t high,
               const std::string& text, const winetest::ResourceTexts& texts, HWND owner) {
    uint16_t status = Run(entry, host, command);
    std::vector<SeenBox> seen = TakeSeen();
    Check(status >= low && status <= high, "%s fails with %u..%u (%u)", what, low, high, status);
    Check(seen.size() == 1, "%s: exactly one message box (%u)", what, static_cast<unsigned>(seen.size()));
    if (seen.empty()) return;
    Check(seen[0].text == text, "%s: its text (\"%s\")", what, seen[0].text.c_str());
    Check(seen[0].caption == texts.Get(2501, 31), "%s: its caption is string 2501 (\"%s\")", what,
          seen[0].caption.c_str());
    Check(seen[0].owner == owner, "%s: it is owned by the host's parentWindow", what);
}

void OverwriteFile(const std::string& path, const char* content) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) winetest::Fatal("overwriting the output file");
    DWORD written = 0;
    WriteFile(file, content, static_cast<DWORD>(strlen(content)), &written, nullptr);
    CloseHandle(file);
}

// A committed page, then its file replaced by something that is no TIFF
// file: the next page cannot be added to it.
void TestNotAppendable(winetest::EntryPoint entry, const std::string& hostKey, const std::string& workDir,
                       const winetest::ResourceTexts& texts, HWND owner) {
    std::string output = workDir + "\\not-a-tiff.tif";
    Host host(hostKey, output, owner);
    host.DescribeGreyPage(0);
    ExpectNoBox(entry, host, 2, 0, "first page: CmdPreparePage");
    ExpectNoBox(entry, host, 4, 0, "first page: CmdBeginPage");
    ExpectNoBox(entry, host, 5, 0, "first page: CmdWriteBand");
    ExpectNoBox(entry, host, 6, 0, "first page: CmdEndPage");
    OverwriteFile(output, "This is a letter, not a TIFF file.\r\n");
    host.image[offsets::kImageContinueFile] = 1;
    ExpectNoBox(entry, host, 2, 0, "later page: CmdPreparePage");
    ExpectBox(entry, host, 4, "later page onto a file that is no TIFF", 215, 215, texts.Get(3003, 127), texts, owner);
    ExpectNoBox(entry, host, 7, 0, "CmdEndJob");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: status_message_box <plug-in dll> <host key path> <missing dir> <work dir>\n");
        return 2;
    }
    InitializeCriticalSection(&g_lock);
    std::string dllPath = argv[1];
    winetest::EntryPoint entry = winetest::LoadEntry(dllPath.c_str());
    winetest::ResourceTexts texts(dllPath);
    HWND owner = winetest::MakeHostWindow("ZeduzTestHostWindow");
    CreateThread(nullptr, 0, Watcher, nullptr, 0, nullptr);

    Host host(argv[2], std::string(argv[3]) + "\\page.tif", owner);
    ExpectNoBox(entry, host, 0, 0, "CmdInitialize");
    ExpectNoBox(entry, host, 9, 211, "unknown command 9");
    host.DescribeGreyPage(1);
    ExpectNoBox(entry, host, 2, 209, "CmdPreparePage of an unsupported image");

    host.DescribeGreyPage(0);
    ExpectNoBox(entry, host, 2, 0, "CmdPreparePage");
    ExpectNoBox(entry, host, 4, 0, "CmdBeginPage");
    ExpectNoBox(entry, host, 5, 0, "CmdWriteBand");
    ExpectBox(entry, host, 6, "CmdEndPage into a missing directory", 202, 206, texts.Get(3002, 127), texts, owner);
    ExpectNoBox(entry, host, 7, 0, "CmdEndJob");
    TestNotAppendable(entry, argv[2], argv[4], texts, owner);
    return winetest::Finish();
}
