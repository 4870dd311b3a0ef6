// The settings dialog ("DETAILS"): byte order, the compression of bilevel
// pages, that of every other page, and the quality of JPEG pages.
#pragma once

#include <cstdint>

#include "base/setting_values.h"
#include "ui/dialog_base.h"

struct CompressionEntry {
    int32_t value;
    char label[128];
};

// One list of compressions: its strings in the resource library, its control
// and the setting it chooses.
struct CompressionList {
    UINT countId;  // the string holding the entry count; entries follow it
    int32_t maxEntries;
    int controlId;
    int32_t* setting;
    CompressionEntry* choices = nullptr;
    int32_t count = 0;
};

class DetailsDialog : public DialogBase {
public:
    DetailsDialog(HWND parent, StateStore* state);
    ~DetailsDialog() override;

    // StatusDialogOk after writing both choices, StatusDialogCancel otherwise.
    uint16_t Run() override;

    int32_t byteOrder() const { return byteOrder_; }
    int32_t compression() const { return compression_; }
    uint32_t fileKind() const { return fileKind_; }

private:
    friend INT_PTR CALLBACK DetailsDialogProc(HWND, UINT, WPARAM, LPARAM);
    // Byte-order buttons, the compression lists and the window's place.
    void InitControls();
    // The list's entries from the string table; false when they cannot be held.
    static bool LoadChoices(CompressionList& list);
    void FillList(const CompressionList& list);
    void PlaceWindow();
    // Takes the user's choices from the controls.
    bool ApplyControls();

    int32_t byteOrder_ = ByteOrderIntel;
    int32_t compression_ = CompressionNone;
    int32_t colorCompression_ = CompressionNone;
    int32_t jpegQuality_ = static_cast<int32_t>(kDefaultJpegQuality);
    uint32_t fileKind_ = kDefaultFileKind;
    CompressionList bilevelList_;
    CompressionList colorList_;
    CompressionList qualityList_;  // the JPEG quality, chosen from a list like the compressions
};

INT_PTR CALLBACK DetailsDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
