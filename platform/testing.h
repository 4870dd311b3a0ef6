// Test controls of the Linux platform layer.
//
// Compiled only into test builds (ZEDUZ_FAULT_INJECTION). Tests use them to
// make services fail, to set what a volume reports as free space, to play the
// user in a dialog and to see the message boxes the plug-in showed.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace platform::testing {

// A service whose calls can be made to fail.
enum class Service {
    Create,         // CreateFileA with CREATE_ALWAYS / CREATE_NEW, GetTempFileNameA
    Open,           // CreateFileA with OPEN_EXISTING
    Read,           // ReadFile
    Write,          // WriteFile
    Seek,           // SetFilePointer
    Close,          // CloseHandle on a file
    Delete,         // DeleteFileA
    Copy,           // CopyFileA, MoveFileExA
    Alloc,          // GlobalAlloc, GlobalLock
    ObjectAlloc,    // the plug-in's own objects (plug-in object, dialogs), via ConsumeFault
    FreeSpace,      // GetDiskFreeSpaceExA, GetDiskFreeSpaceA: a failing query reports a full volume (0 bytes)
    Thread,         // CreateThread
    RegistryWrite,  // RegSetValueExA, RegDeleteValueA: a failing call reports ERROR_REGISTRY_IO_FAILED
};

// Counts one call of the service and tells whether it must fail. The
// services above call it themselves; the plug-in calls it for ObjectAlloc.
bool ConsumeFault(Service service);

// Lets `skip` calls of the service pass, then fails the next `count` calls.
void FailCalls(Service service, int count, int skip = 0);

// Calls of the service made since the last Reset (failed ones included).
int CallCount(Service service);

// Crash tests of whole processes: when the environment variable
// ZEDUZ_CRASH_AT_CALL holds N, the process kills itself with SIGKILL at the
// N-th call (counting from 1) of any service above but RegistryWrite,
// before that call runs.

// What every volume reports as free space: a byte count, or nullopt for
// "cannot be determined" (both free-space queries fail). Unset: the real value.
void SetFreeSpace(std::optional<uint64_t> bytes);

// Whether GetProcAddress finds "GetDiskFreeSpaceExA", so that callers fall
// back to the cluster-based query.
void SetExtendedFreeSpaceQueryAvailable(bool available);

// A disk that fills up: after `bytes` more bytes, writes fail as on a full
// volume. nullopt lifts the limit.
void SetWriteBudget(std::optional<uint64_t> bytes);

// Bytes that the ANSI code page takes as lead bytes of double-byte
// characters (IsDBCSLeadByte, CharNextA). Empty: a single-byte code page.
void SetLeadBytes(std::vector<uint8_t> leadBytes);

// Back to no faults, real free space, no budget, a single-byte code page;
// counters cleared.
void Reset();

// A message box the plug-in showed.
struct MessageBoxRecord {
    HWND owner;
    std::string caption;
    std::string text;
    UINT type;
};
std::vector<MessageBoxRecord>& MessageBoxes();

// Plays the user in a modal dialog. Called once the dialog procedure has
// handled WM_INITDIALOG; it drives the dialog through the functions below
// until the dialog ends. A dialog that is still open when the driver returns
// (or that runs with no driver) is closed as by the window's close box.
using DialogDriver = std::function<void(HWND dialog)>;
void SetDialogDriver(DialogDriver driver);

// The user clicks a button (radio buttons change their own check state first,
// as automatic radio buttons do), then the procedure gets WM_COMMAND.
void ClickButton(HWND dialog, int id);
// The user picks list entry `index` of a combo box.
void SelectComboEntry(HWND dialog, int id, int index);
// The user presses the window's close box (WM_CLOSE).
void CloseWindow(HWND dialog);
// What the user sees.
std::string DialogTemplateName(HWND dialog);
bool IsDialogOpen(HWND dialog);
std::vector<std::string> ComboEntries(HWND dialog, int id);
int ComboSelection(HWND dialog, int id);
RECT WindowRect(HWND dialog);
// Size of the primary screen the stand-in reports.
void SetScreenSize(int width, int height);

}  // namespace platform::testing
