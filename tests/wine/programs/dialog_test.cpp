// The settings dialog and the About box on a (virtual) screen under Wine.
// The main thread drives the plug-in through its entry point with raw host
// records; a watcher thread finds each dialog the plug-in opens, reads its
// controls and position, and plays the user: radio buttons and OK are pressed
// with BM_CLICK, the list entry is picked as a user picks it, the window is
// moved and closed with its close box.
//
//   dialog_test.exe <plug-in dll> <host key path>
//       The checks. The host key must not exist yet: the first opening must
//       be centred.
//   dialog_test.exe <plug-in dll> <host key path> show <what> <ready> <done>
//       Opens one dialog for a screenshot (what: settings, settings-chosen
//       with Motorola and the second list entry picked, about), writes "x y width height" of the area to show into the
//       file <ready>, waits until the file <done> exists, then cancels the dialog.
#include <atomic>
#include <functional>
#include <vector>

#include "wine_check.h"

using winetest::PutPointer;
namespace offsets = winetest::offsets;
using winetest::Check;
using winetest::Put32;

namespace {

constexpr int32_t kCmdInitialize = 0;
constexpr int32_t kCmdSettings = 1;
constexpr int32_t kCmdAbout = 8;
constexpr int kIntel = 1001;
constexpr int kMotorola = 1002;
constexpr int kList = 1003;

// What the user found when the dialog opened.
struct Seen {
    bool found = false;
    std::string caption;
    HWND owner = nullptr;
    UINT intel = 0;
    UINT motorola = 0;
    std::vector<std::string> entries;
    int selection = -1;
    RECT rect = {0, 0, 0, 0};
    int screenWidth = 0;
    int screenHeight = 0;
};

using UserPlan = std::function<void(HWND dialog, Seen* seen)>;

CRITICAL_SECTION g_lock;
UserPlan g_plan;  // the user's part for the dialog the next command opens
Seen g_seen;
bool g_planTaken = false;
HANDLE g_planDone = nullptr;  // set once the watcher has recorded g_seen
std::atomic<DWORD> g_callStarted{0};

bool IsOurDialog(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    return process == GetCurrentProcessId() && strcmp(className, "#32770") == 0 && IsWindowVisible(window);
}

BOOL CALLBACK FindDialog(HWND window, LPARAM result) {
    if (!IsOurDialog(window)) return TRUE;
    *reinterpret_cast<HWND*>(result) = window;
    return FALSE;
}

Seen Look(HWND dialog) {
    Seen seen;
    seen.found = true;
    char text[256] = {};
    GetWindowTextA(dialog, text, sizeof text);
    seen.caption = text;
    seen.owner = GetWindow(dialog, GW_OWNER);
    seen.intel = IsDlgButtonChecked(dialog, kIntel);
    seen.motorola = IsDlgButtonChecked(dialog, kMotorola);
    const LRESULT count = SendDlgItemMessageA(dialog, kList, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        char entry[256] = {};
        SendDlgItemMessageA(dialog, kList, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(entry));
        seen.entries.push_back(entry);
    }
    seen.selection = static_cast<int>(SendDlgItemMessageA(dialog, kList, CB_GETCURSEL, 0, 0));
    GetWindowRect(dialog, &seen.rect);
    seen.screenWidth = GetSystemMetrics(SM_CXSCREEN);
    seen.screenHeight = GetSystemMetrics(SM_CYSCREEN);
    return seen;
}

// The user's gestures.
void Press(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
void Pick(HWND dialog, int index) {
    HWND list = GetDlgItem(dialog, kList);
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kList, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}
void MoveTo(HWND dialog, int x, int y) { SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER); }
void CloseBox(HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }

// Finds each dialog of the process and hands it to the plan once; ends the
// test when a command does not return.
DWORD WINAPI Watcher(LPVOID) {
    for (;;) {
        HWND dialog = nullptr;
        EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&dialog));
        EnterCriticalSection(&g_lock);
        UserPlan plan;
        if (dialog != nullptr && g_plan) {
            plan.swap(g_plan);
            g_planTaken = true;
        }
        LeaveCriticalSection(&g_lock);
        if (plan) {
            Seen seen = Look(dialog);
            plan(dialog, &seen);
            EnterCriticalSection(&g_lock);
            g_seen = seen;
            LeaveCriticalSection(&g_lock);
            SetEvent(g_planDone);
        }
        winetest::EndIfHung(g_callStarted.load(), "a dialog did not end within 60 s");
        Sleep(50);
    }
}

struct Host {
    uint8_t request[1024] = {};
    uint8_t target[512] = {};
    uint8_t image[128] = {};

    Host(const std::string& hostKey, HWND owner) {
        memcpy(request + offsets::kStateKeyPath, hostKey.c_str(), hostKey.size());
        PutPointer(request, offsets::kStateRoot, HKEY_CURRENT_USER);
        PutPointer(request, offsets::kParentWindow, owner);
        PutPointer(request, offsets::kTarget, target);
        PutPointer(target, offsets::kTargetImage, image);
    }
    std::string SettingsText() const { return std::string(reinterpret_cast<const char*>(request + 193)); }
};

// Runs a command whose dialog the user handles by `plan`; what the user saw.
Seen RunDialog(winetest::EntryPoint entry, Host& host, int32_t command, UserPlan plan, uint16_t* status) {
    EnterCriticalSection(&g_lock);
    g_plan = std::move(plan);
    g_seen = Seen();
    g_planTaken = false;
    ResetEvent(g_planDone);
    LeaveCriticalSection(&g_lock);
    g_callStarted = GetTickCount() | 1;
    *status = winetest::CallEntry(entry, command, host.request).status;
    g_callStarted = 0;
    // A dialog can end (a posted close) before the user's part has returned:
    // wait for it, so that what it saw is this command's and not the next one's.
    EnterCriticalSection(&g_lock);
    const bool taken = g_planTaken;
    LeaveCriticalSection(&g_lock);
    if (taken) WaitForSingleObject(g_planDone, 30000);
    EnterCriticalSection(&g_lock);
    Seen seen = g_seen;
    g_plan = nullptr;
    LeaveCriticalSection(&g_lock);
    return seen;
}

uint32_t Stored(const std::string& key, const char* name) {
    uint32_t value = 0xDEADBEEF;
    winetest::ReadDword(key, name, &value);
    return value;
}

bool IsCentred(const Seen& seen) {
    const LONG width = seen.rect.right - seen.rect.left;
    const LONG height = seen.rect.bottom - seen.rect.top;
    return seen.rect.left == (seen.screenWidth - width) / 2 && seen.rect.top == (seen.screenHeight - height) / 2;
}

// The list position of the shipped entry with compression `value`.
int EntryIndex(const winetest::ResourceTexts& texts, int value) {
    const int count = atoi(texts.Get(2000, 127).c_str());
    for (int j = 0; j < count; ++j) {
        if (atoi(texts.Get(2001 + j, 127).c_str()) == value) return j;
    }
    return -1;
}

std::string Label(const winetest::ResourceTexts& texts, int index) {
    std::string entry = texts.Get(2001 + index, 127);
    size_t comma = entry.find(',');
    return comma == std::string::npos ? std::string() : entry.substr(comma + 1);
}

void CheckPosition(const std::string& key, LONG x, LONG y, const char* when) {
    Check(
        Stored(key, "Position X") == static_cast<uint32_t>(x) && Stored(key, "Position Y") == static_cast<uint32_t>(y),
        "%s: position (%ld, %ld) stored (%ld, %ld)", when, static_cast<long>(x), static_cast<long>(y),
        static_cast<long>(static_cast<int32_t>(Stored(key, "Position X"))),
        static_cast<long>(static_cast<int32_t>(Stored(key, "Position Y"))));
}

bool FileExists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// Holds one dialog open on the screen until the screenshot is taken.
int ShowForScreenshot(winetest::EntryPoint entry, Host& host, const std::string& what, const char* ready,
                      const char* done) {
    const bool about = what == "about";
    const bool chosen = what == "settings-chosen";
    uint16_t status = 0;
    RunDialog(
        entry, host, about ? kCmdAbout : kCmdSettings,
        [&](HWND dialog, Seen*) {
            RECT area;
            GetWindowRect(dialog, &area);
            if (chosen) {
                Press(dialog, kMotorola);
                Pick(dialog, 1);
            }
            Sleep(700);  // let the window paint
            FILE* file = fopen(ready, "w");
            if (file != nullptr) {
                fprintf(file, "%ld %ld %ld %ld\n", static_cast<long>(area.left), static_cast<long>(area.top),
                        static_cast<long>(area.right - area.left), static_cast<long>(area.bottom - area.top));
                fclose(file);
            }
            for (int waited = 0; waited < 600 && !FileExists(done); ++waited) Sleep(50);
            Press(dialog, about ? IDOK : IDCANCEL);
        },
        &status);
    return status == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const bool show = argc == 7 && strcmp(argv[3], "show") == 0;
    if (argc != 3 && !show) {
        fprintf(stderr, "usage: dialog_test <plug-in dll> <host key path> [show <what> <ready> <done>]\n");
        return 2;
    }
    InitializeCriticalSection(&g_lock);
    g_planDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const std::string dllPath = argv[1];
    const std::string key = argv[2];
    winetest::EntryPoint entry = winetest::LoadEntry(dllPath.c_str());
    winetest::ResourceTexts texts(dllPath);
    HWND owner = winetest::MakeHostWindow("ZeduzDialogTestHost");
    CreateThread(nullptr, 0, Watcher, nullptr, 0, nullptr);
    Host host(key, owner);
    if (show) return ShowForScreenshot(entry, host, argv[4], argv[5], argv[6]);

    const int none = EntryIndex(texts, 1);
    const int group4 = EntryIndex(texts, 4);
    Check(none >= 0 && group4 >= 0, "the shipped list holds values 1 (%d) and 4 (%d)", none, group4);
    Check(!winetest::PluginKeyExists(key), "the host key starts empty");
    uint16_t status = 0;
    Check(winetest::CallEntry(entry, kCmdInitialize, host.request).status == 0, "CmdInitialize");

    printf("== first opening: defaults, centred; Motorola, Group 4, moved, OK\n");
    UINT afterClickIntel = 9, afterClickMotorola = 9;
    Seen seen = RunDialog(
        entry, host, kCmdSettings,
        [&](HWND dialog, Seen*) {
            Press(dialog, kMotorola);
            afterClickIntel = IsDlgButtonChecked(dialog, kIntel);
            afterClickMotorola = IsDlgButtonChecked(dialog, kMotorola);
            Pick(dialog, group4);
            MoveTo(dialog, 150, 120);
            Press(dialog, IDOK);
        },
        &status);
    Check(seen.found, "the settings dialog appeared (\"%s\")", seen.caption.c_str());
    Check(seen.owner == owner, "it is owned by the host's parentWindow");
    Check(seen.intel == BST_CHECKED && seen.motorola == BST_UNCHECKED, "Intel checked, Motorola not");
    const int count = atoi(texts.Get(2000, 127).c_str());
    bool labelsMatch = static_cast<int>(seen.entries.size()) == count;
    for (int j = 0; labelsMatch && j < count; ++j) labelsMatch = seen.entries[j] == Label(texts, j);
    Check(labelsMatch, "the list shows the labels of strings 2001..2000+%d in order (%u shown)", count,
          static_cast<unsigned>(seen.entries.size()));
    Check(seen.selection == none, "the uncompressed entry is preselected (%d)", seen.selection);
    Check(IsCentred(seen), "centred on the %dx%d screen (%ld, %ld)", seen.screenWidth, seen.screenHeight,
          static_cast<long>(seen.rect.left), static_cast<long>(seen.rect.top));
    Check(afterClickIntel == BST_UNCHECKED && afterClickMotorola == BST_CHECKED,
          "clicking Motorola checks it and unchecks Intel (%u, %u)", afterClickIntel, afterClickMotorola);
    Check(status == 0, "CmdSettings returns 0 after OK (%u)", status);
    Check(Stored(key, "File Type") == 19789, "OK stored File Type 19789 (%u)", Stored(key, "File Type"));
    Check(Stored(key, "Compression") == 4, "OK stored Compression 4 (%u)", Stored(key, "Compression"));
    CheckPosition(key, 150, 120, "OK");
    Check(host.SettingsText() == texts.Get(2506, 259) + texts.Get(2508, 127), "settingsText is 2506 + 2508 (\"%s\")",
          host.SettingsText().c_str());

    printf("== second opening: where it was left; Intel, none, moved, Cancel\n");
    seen = RunDialog(
        entry, host, kCmdSettings,
        [&](HWND dialog, Seen*) {
            Press(dialog, kIntel);
            Pick(dialog, none);
            MoveTo(dialog, 200, 140);
            Press(dialog, IDCANCEL);
        },
        &status);
    Check(seen.found, "the settings dialog appeared again");
    Check(seen.rect.left == 150 && seen.rect.top == 120, "it opens where it was closed (%ld, %ld)",
          static_cast<long>(seen.rect.left), static_cast<long>(seen.rect.top));
    Check(seen.intel == BST_UNCHECKED && seen.motorola == BST_CHECKED, "Motorola shown as stored");
    Check(seen.selection == group4, "Group 4 preselected as stored (%d)", seen.selection);
    Check(status == 0, "CmdSettings returns 0 after Cancel (%u)", status);
    Check(Stored(key, "File Type") == 19789 && Stored(key, "Compression") == 4, "Cancel stored no choice");
    CheckPosition(key, 200, 140, "Cancel");
    Check(host.SettingsText() == texts.Get(2506, 259) + texts.Get(2508, 127), "settingsText still 2506 + 2508");

    printf("== third opening: Intel, moved, close box\n");
    seen = RunDialog(
        entry, host, kCmdSettings,
        [&](HWND dialog, Seen*) {
            Press(dialog, kIntel);
            MoveTo(dialog, 90, 80);
            CloseBox(dialog);
        },
        &status);
    Check(seen.found && seen.rect.left == 200 && seen.rect.top == 140, "opens at (200, 140) (%ld, %ld)",
          static_cast<long>(seen.rect.left), static_cast<long>(seen.rect.top));
    Check(status == 0, "CmdSettings returns 0 after the close box (%u)", status);
    Check(Stored(key, "File Type") == 19789 && Stored(key, "Compression") == 4, "the close box stored no choice");
    CheckPosition(key, 90, 80, "close box");

    printf("== About: centred, OK; then the close box\n");
    seen = RunDialog(
        entry, host, kCmdAbout, [&](HWND dialog, Seen*) { Press(dialog, IDOK); }, &status);
    Check(seen.found, "the About box appeared (\"%s\")", seen.caption.c_str());
    Check(seen.owner == owner, "it is owned by the host's parentWindow");
    Check(IsCentred(seen), "the About box is centred (%ld, %ld)", static_cast<long>(seen.rect.left),
          static_cast<long>(seen.rect.top));
    Check(status == 0, "CmdAbout returns 0 (%u)", status);
    seen = RunDialog(
        entry, host, kCmdAbout, [&](HWND dialog, Seen*) { CloseBox(dialog); }, &status);
    Check(seen.found && status == 0, "the About box closes with its close box (%u)", status);
    CheckPosition(key, 90, 80, "after About");

    printf("== fourth opening: at (90, 80)\n");
    seen = RunDialog(
        entry, host, kCmdSettings, [&](HWND dialog, Seen*) { Press(dialog, IDCANCEL); }, &status);
    Check(seen.found && seen.rect.left == 90 && seen.rect.top == 80, "opens at (90, 80) (%ld, %ld)",
          static_cast<long>(seen.rect.left), static_cast<long>(seen.rect.top));
    return winetest::Finish();
}
