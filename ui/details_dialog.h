// The settings dialog ("DETAILS"): byte order and bilevel compression.
#pragma once

#include <cstdint>

#include "base/setting_values.h"
#include "ui/dialog_base.h"

struct CompressionEntry {
    int32_t value;
    char label[128];
};

class DetailsDialog : public DialogBase {
public:
    DetailsDialog(HWND parent, StateStore* state) : DialogBase(parent, state) {}
    ~DetailsDialog() override;

    // StatusDialogOk after writing both choices, StatusDialogCancel otherwise.
    uint16_t Run() override;

    int32_t byteOrder() const { return byteOrder_; }
    int32_t compression() const { return compression_; }

private:
    friend INT_PTR CALLBACK DetailsDialogProc(HWND, UINT, WPARAM, LPARAM);
    // Byte-order buttons, the compression list and the window's place.
    void InitControls();
    // The entries of the string table; false when they cannot be held.
    bool LoadChoices();
    void FillList();
    void PlaceWindow();
    // Takes the user's choices from the controls.
    bool ApplyControls();

    int32_t byteOrder_ = ByteOrderIntel;
    int32_t compression_ = CompressionNone;
    CompressionEntry* choices_ = nullptr;
    int32_t choiceCount_ = 0;
};

INT_PTR CALLBACK DetailsDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
