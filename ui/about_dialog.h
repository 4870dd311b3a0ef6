// The About box.
#pragma once

#include "ui/dialog_base.h"

class AboutDialog : public DialogBase {
public:
    AboutDialog(HWND parent, StateStore* state, const char* templateName);
    uint16_t Run() override;

private:
    friend INT_PTR CALLBACK AboutDialogProc(HWND, UINT, WPARAM, LPARAM);
    char templateName_[260] = {};
};

INT_PTR CALLBACK AboutDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
