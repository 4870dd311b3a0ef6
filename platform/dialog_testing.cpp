// The dialog part of the test controls (platform/testing.h): the test plays
// the user in the headless dialogs. Compiled into test builds only.
#ifdef ZEDUZ_FAULT_INJECTION

#include "platform/dialog_model.h"
#include "platform/testing.h"

namespace platform::testing {

using dialogs::Find;

void SetDialogDriver(DialogDriver driver) { dialogs::SetDriver(std::move(driver)); }

void ClickButton(HWND dialog, int id) { dialogs::Click(Find(dialog), id); }

void SelectComboEntry(HWND dialog, int id, int index) { dialogs::SelectEntry(Find(dialog), id, index); }

void CloseWindow(HWND dialog) { dialogs::Close(Find(dialog)); }

std::string DialogTemplateName(HWND dialog) {
    dialogs::DialogWindow* window = Find(dialog);
    return window != nullptr ? window->templateName : std::string();
}

bool IsDialogOpen(HWND dialog) {
    dialogs::DialogWindow* window = Find(dialog);
    return window != nullptr && !window->ended;
}

std::vector<std::string> ComboEntries(HWND dialog, int id) {
    dialogs::Control* combo = dialogs::FindControl(Find(dialog), id);
    return combo != nullptr ? combo->items : std::vector<std::string>();
}

int ComboSelection(HWND dialog, int id) {
    dialogs::Control* combo = dialogs::FindControl(Find(dialog), id);
    return combo != nullptr ? combo->selection : CB_ERR;
}

RECT WindowRect(HWND dialog) {
    dialogs::DialogWindow* window = Find(dialog);
    return window != nullptr ? window->rect : RECT{0, 0, 0, 0};
}

void SetScreenSize(int width, int height) { dialogs::SetScreenSize(width, height); }

}  // namespace platform::testing

#endif
