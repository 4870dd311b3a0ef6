// The modal dialogs of the plug-in: the parent window, the dialog's own
// window while it is shown, and the state store it reads and writes.
#pragma once

#include <cstdint>

#include "platform/win32.h"
#include "state/state_store.h"

class DialogBase {
public:
    DialogBase(HWND parent, StateStore* state) : parent_(parent), state_(state) {}
    DialogBase(const DialogBase&) = delete;
    DialogBase& operator=(const DialogBase&) = delete;
    virtual ~DialogBase() = default;
    virtual uint16_t Run() { return 0; }

    // Centres the dialog's window on the primary screen.
    void CenterOnScreen();

    HWND window() const { return window_; }

protected:
    HWND parent_;
    HWND window_ = nullptr;
    StateStore* state_;
};
