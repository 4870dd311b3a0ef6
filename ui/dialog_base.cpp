#include "ui/dialog_base.h"

#include <cstdint>

void DialogBase::CenterOnScreen() {
    // The primary screen's full size, not the work area or the parent.
    const int16_t width = static_cast<int16_t>(GetSystemMetrics(SM_CXSCREEN));
    const int16_t height = static_cast<int16_t>(GetSystemMetrics(SM_CYSCREEN));
    RECT rect = {0, 0, 0, 0};
    GetWindowRect(window_, &rect);
    // Wide arithmetic: a window rectangle at the edge of the LONG range must
    // not overflow before it is cut to 16 bits.
    const int16_t x = static_cast<int16_t>((int64_t{width} + rect.left - rect.right) / 2);
    const int16_t y = static_cast<int16_t>((int64_t{height} + rect.top - rect.bottom) / 2);
    SetWindowPos(window_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}
