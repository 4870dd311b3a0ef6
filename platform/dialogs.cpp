// Modal dialogs on Linux: the dialog procedure runs over a headless model of
// the template's controls (platform/dialog_model.h). Without a test driver
// the user closes the dialog at once with the close box.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include "platform/dialog_model.h"
#include "platform/dialog_template_model.h"

namespace platform::dialogs {
namespace {

constexpr WORD kComboSelectionChanged = 1;  // CBN_SELCHANGE

std::vector<DialogWindow*>& OpenDialogs() {
    static std::vector<DialogWindow*> dialogs;
    return dialogs;
}

struct Screen {
    int width = 1024;
    int height = 768;
};

Screen& TheScreen() {
    static Screen screen;
    return screen;
}

Driver& TheDriver() {
    static Driver driver;
    return driver;
}

// Positions far off the screen are legal; the far edge stays within range.
LONG ClampToLong(int64_t value) { return static_cast<LONG>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX)); }

WPARAM CommandParam(int id, WORD notification) {
    return (static_cast<WPARAM>(notification) << 16) | static_cast<WORD>(id);
}

// Checks `clicked` and unchecks the other automatic radio buttons of its group.
void CheckInGroup(DialogWindow* dialog, size_t clicked) {
    std::vector<Control>& controls = dialog->controls;
    size_t first = clicked;
    while (first > 0 && !controls[first].groupStart) --first;
    size_t last = clicked + 1;
    while (last < controls.size() && !controls[last].groupStart) ++last;
    for (size_t i = first; i < last; ++i) {
        if (controls[i].kind == ControlKind::AutoRadioButton) controls[i].check = BST_UNCHECKED;
    }
    controls[clicked].check = BST_CHECKED;
}

LRESULT ComboMessage(Control* combo, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto count = static_cast<int>(combo->items.size());
    const auto index = static_cast<int>(static_cast<INT_PTR>(wParam));
    switch (message) {
        case CB_INSERTSTRING: {
            if (lParam == 0 || index < -1 || index > count) return CB_ERR;
            const int at = index == -1 ? count : index;
            combo->items.insert(combo->items.begin() + at, reinterpret_cast<const char*>(lParam));
            if (combo->selection >= at) ++combo->selection;
            return at;
        }
        case CB_SETCURSEL: combo->selection = (index >= 0 && index < count) ? index : CB_ERR; return combo->selection;
        case CB_GETCURSEL: return combo->selection;
        case CB_GETCOUNT: return count;
        case CB_GETLBTEXT: {
            if (lParam == 0 || index < 0 || index >= count) return CB_ERR;
            const std::string& text = combo->items[static_cast<size_t>(index)];
            std::memcpy(reinterpret_cast<char*>(lParam), text.c_str(), text.size() + 1);
            return static_cast<LRESULT>(text.size());
        }
        default: return 0;
    }
}

}  // namespace

DialogWindow* Find(HWND window) {
    auto* candidate = reinterpret_cast<DialogWindow*>(window);
    const std::vector<DialogWindow*>& open = OpenDialogs();
    return std::find(open.begin(), open.end(), candidate) != open.end() ? candidate : nullptr;
}

HWND HandleOf(DialogWindow* dialog) { return reinterpret_cast<HWND>(dialog); }

Control* FindControl(DialogWindow* dialog, int id) {
    if (dialog == nullptr) return nullptr;
    for (Control& control : dialog->controls) {
        if (control.id == id) return &control;
    }
    return nullptr;
}

INT_PTR Send(DialogWindow* dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (dialog == nullptr || dialog->ended) return 0;
    return dialog->procedure(HandleOf(dialog), message, wParam, lParam);
}

void Close(DialogWindow* dialog) {
    if (dialog == nullptr || dialog->ended) return;
    if (Send(dialog, WM_CLOSE, 0, 0) == FALSE) {
        Send(dialog, WM_COMMAND, CommandParam(IDCANCEL, BN_CLICKED), 0);
    }
}

void Click(DialogWindow* dialog, int id) {
    if (dialog == nullptr || dialog->ended) return;
    for (size_t i = 0; i < dialog->controls.size(); ++i) {
        Control& control = dialog->controls[i];
        if (control.id != id) continue;
        if (control.kind == ControlKind::AutoRadioButton) CheckInGroup(dialog, i);
        if (control.kind == ControlKind::AutoCheckBox) {
            control.check = control.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
        }
        break;
    }
    Send(dialog, WM_COMMAND, CommandParam(id, BN_CLICKED), 0);
}

void SetScreenSize(int width, int height) {
    TheScreen().width = width;
    TheScreen().height = height;
}

void SetDriver(Driver driver) { TheDriver() = std::move(driver); }

// Used by the test controls: the user picks a list entry.
void SelectEntry(DialogWindow* dialog, int id, int index) {
    Control* combo = FindControl(dialog, id);
    if (dialog == nullptr || dialog->ended || combo == nullptr || combo->kind != ControlKind::ComboBox) return;
    if (index < 0 || index >= static_cast<int>(combo->items.size())) return;
    combo->selection = index;
    Send(dialog, WM_COMMAND, CommandParam(id, kComboSelectionChanged), 0);
}

}  // namespace platform::dialogs

using namespace platform::dialogs;

INT_PTR DialogBoxParamA(HINSTANCE module, LPCSTR templateName, HWND parent, DLGPROC procedure, LPARAM initParam) {
    auto dialog = std::make_unique<DialogWindow>();
    if (procedure == nullptr || !BuildFromTemplate(module, templateName, dialog.get())) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return -1;
    }
    dialog->procedure = procedure;
    OpenDialogs().push_back(dialog.get());

    Send(dialog.get(), WM_INITDIALOG, 0, initParam);
    if (!dialog->ended && TheDriver()) {
        Driver driver = TheDriver();  // the driver may replace itself
        driver(HandleOf(dialog.get()));
    }
    // The user is done: whatever is still open is closed with the close box,
    // and a procedure that even then does not end it is ended for it.
    Close(dialog.get());
    if (!dialog->ended) {
        dialog->ended = true;
        dialog->result = 0;
    }

    std::vector<DialogWindow*>& open = OpenDialogs();
    open.erase(std::remove(open.begin(), open.end(), dialog.get()), open.end());
    return dialog->result;
}

BOOL EndDialog(HWND window, INT_PTR result) {
    DialogWindow* dialog = Find(window);
    if (dialog == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!dialog->ended) {
        dialog->ended = true;
        dialog->result = result;
    }
    return TRUE;
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
    DialogWindow* dialog = Find(window);
    if (dialog == nullptr || index != DWLP_USER) {
        SetLastError(dialog == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
        return 0;
    }
    const LONG_PTR previous = dialog->user;
    dialog->user = value;
    return previous;
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
    DialogWindow* dialog = Find(window);
    if (dialog == nullptr || index != DWLP_USER) {
        SetLastError(dialog == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
        return 0;
    }
    return dialog->user;
}

BOOL CheckDlgButton(HWND window, int id, UINT check) {
    Control* control = FindControl(Find(window), id);
    if (control == nullptr) return FALSE;
    control->check = check;
    return TRUE;
}

UINT IsDlgButtonChecked(HWND window, int id) {
    Control* control = FindControl(Find(window), id);
    return control != nullptr ? control->check : BST_UNCHECKED;
}

LRESULT SendDlgItemMessageA(HWND window, int id, UINT message, WPARAM wParam, LPARAM lParam) {
    Control* control = FindControl(Find(window), id);
    if (control == nullptr || control->kind != ControlKind::ComboBox) return 0;
    return ComboMessage(control, message, wParam, lParam);
}

BOOL GetWindowRect(HWND window, LPRECT rect) {
    DialogWindow* dialog = Find(window);
    if (dialog == nullptr || rect == nullptr) return FALSE;
    *rect = dialog->rect;
    return TRUE;
}

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    DialogWindow* dialog = Find(window);
    if (dialog == nullptr) return FALSE;
    RECT& rect = dialog->rect;
    const int64_t width = (flags & SWP_NOSIZE) ? int64_t{rect.right} - rect.left : cx;
    const int64_t height = (flags & SWP_NOSIZE) ? int64_t{rect.bottom} - rect.top : cy;
    if (!(flags & SWP_NOMOVE)) {
        rect.left = x;
        rect.top = y;
    }
    rect.right = ClampToLong(rect.left + width);
    rect.bottom = ClampToLong(rect.top + height);
    return TRUE;
}

int GetSystemMetrics(int index) {
    if (index == SM_CXSCREEN) return TheScreen().width;
    if (index == SM_CYSCREEN) return TheScreen().height;
    return 0;
}
