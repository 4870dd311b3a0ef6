// The headless model behind the Linux dialog calls.
//
// A modal dialog is a DialogWindow built from its template in the resource
// library: the controls the plug-in talks to (buttons with their check state,
// automatic radio buttons and their groups, combo boxes with list and
// selection) and the window rectangle in screen pixels. An HWND is the
// address of its DialogWindow; calls with a handle that names no open dialog
// fail as they would on Windows.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace platform::dialogs {

enum class ControlKind { PushButton, AutoRadioButton, RadioButton, AutoCheckBox, CheckBox, ComboBox, Other };

struct Control {
    int id = 0;
    ControlKind kind = ControlKind::Other;
    bool groupStart = false;  // first control of a group (WS_GROUP)
    UINT check = BST_UNCHECKED;
    std::vector<std::string> items;  // combo box list
    int selection = CB_ERR;          // combo box selection
};

struct DialogWindow {
    std::string templateName;
    DLGPROC procedure = nullptr;
    LONG_PTR user = 0;  // DWLP_USER
    RECT rect = {0, 0, 0, 0};
    std::vector<Control> controls;
    bool ended = false;
    INT_PTR result = 0;
};

// The dialog a handle names while it is shown, or nullptr.
DialogWindow* Find(HWND window);
HWND HandleOf(DialogWindow* dialog);
Control* FindControl(DialogWindow* dialog, int id);

// Sends a message to the dialog's procedure; nothing once the dialog ended.
INT_PTR Send(DialogWindow* dialog, UINT message, WPARAM wParam, LPARAM lParam);
// The close box: WM_CLOSE, and when the procedure leaves it unhandled, the
// default handling's Cancel command.
void Close(DialogWindow* dialog);
// A click: automatic buttons change their own state, then WM_COMMAND.
void Click(DialogWindow* dialog, int id);

// The user picks list entry `index` of a combo box (CBN_SELCHANGE follows).
void SelectEntry(DialogWindow* dialog, int id, int index);

// Screen size reported by GetSystemMetrics.
void SetScreenSize(int width, int height);

// The user's part, run once the dialog is initialised (tests only).
using Driver = std::function<void(HWND dialog)>;
void SetDriver(Driver driver);

}  // namespace platform::dialogs
