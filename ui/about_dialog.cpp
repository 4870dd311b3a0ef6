#include "ui/about_dialog.h"

#include <cstring>

#include "ui/resource_strings.h"

AboutDialog::AboutDialog(HWND parent, StateStore* state, const char* templateName) : DialogBase(parent, state) {
    if (templateName != nullptr) {
        std::strncpy(templateName_, templateName, sizeof templateName_ - 1);
    }
}

uint16_t AboutDialog::Run() {
    DialogBoxParamA(ResourceModule(), templateName_, parent_, AboutDialogProc, reinterpret_cast<LPARAM>(this));
    return 0;
}

INT_PTR CALLBACK AboutDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            auto* dialog = reinterpret_cast<AboutDialog*>(lParam);
            dialog->window_ = window;
            dialog->CenterOnScreen();
            return FALSE;
        }
        case WM_CLOSE: EndDialog(window, static_cast<INT_PTR>(wParam)); return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(window, static_cast<INT_PTR>(wParam));
                return TRUE;
            }
            return FALSE;
        default: return FALSE;
    }
}
