#include "ui/details_dialog.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/setting_values.h"
#include "base/status.h"
#include "resources/resource_ids.h"
#include "ui/decimal_text.h"
#include "ui/resource_strings.h"

#ifdef ZEDUZ_FAULT_INJECTION
#include "platform/testing.h"
#endif

namespace {

// Entries are strings 2001 onwards and the host's texts begin at 2501, so a
// list holds at most 500 entries whatever the count string claims; the colour
// list's entries, from 2601, end before the message texts.
constexpr int32_t kMaxChoices = IDS_MESSAGE_CAPTION - IDS_COMPRESSION_FIRST;
constexpr int32_t kMaxColorChoices = IDS_JPEG_QUALITY_COUNT - IDS_COLOR_COMPRESSION_FIRST;
constexpr int32_t kMaxQualityChoices = IDS_MESSAGE_NO_MEMORY - IDS_JPEG_QUALITY_FIRST;

CompressionEntry* AllocateChoices(int32_t count) {
#ifdef ZEDUZ_FAULT_INJECTION
    if (platform::testing::ConsumeFault(platform::testing::Service::ObjectAlloc)) return nullptr;
#endif
    return new (std::nothrow) CompressionEntry[count > 0 ? count : 0];
}

DetailsDialog* DialogOf(HWND window) { return reinterpret_cast<DetailsDialog*>(GetWindowLongPtrA(window, DWLP_USER)); }

void ShowByteOrder(HWND window, bool intel) {
    CheckDlgButton(window, IDC_BYTE_ORDER_INTEL, intel ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(window, IDC_BYTE_ORDER_MOTOROLA, intel ? BST_UNCHECKED : BST_CHECKED);
}

}  // namespace

DetailsDialog::DetailsDialog(HWND parent, StateStore* state)
    : DialogBase(parent, state),
      bilevelList_{IDS_COMPRESSION_COUNT, kMaxChoices, IDC_COMPRESSION_LIST, &compression_},
      colorList_{IDS_COLOR_COMPRESSION_COUNT, kMaxColorChoices, IDC_COLOR_COMPRESSION_LIST, &colorCompression_},
      qualityList_{IDS_JPEG_QUALITY_COUNT, kMaxQualityChoices, IDC_JPEG_QUALITY_LIST, &jpegQuality_} {}

DetailsDialog::~DetailsDialog() {
    delete[] bilevelList_.choices;
    delete[] colorList_.choices;
    delete[] qualityList_.choices;
}

uint16_t DetailsDialog::Run() {
    // A value that cannot be read keeps the defaults (Intel, uncompressed).
    state_->ReadInt(value_names::kFileType, &byteOrder_);
    state_->ReadInt(value_names::kCompression, &compression_);
    state_->ReadInt(value_names::kColorCompression, &colorCompression_);
    state_->ReadInt(value_names::kJpegQuality, &jpegQuality_);
    state_->ReadDword(value_names::kBigTiff, &fileKind_);

    const INT_PTR result =
        DialogBoxParamA(ResourceModule(), IDD_DETAILS_NAME, parent_, DetailsDialogProc, reinterpret_cast<LPARAM>(this));
    if (result != IDOK) return StatusDialogCancel;
    state_->WriteInt(value_names::kFileType, byteOrder_);
    state_->WriteInt(value_names::kCompression, compression_);
    state_->WriteInt(value_names::kColorCompression, colorCompression_);
    state_->WriteInt(value_names::kJpegQuality, jpegQuality_);
    state_->WriteDword(value_names::kBigTiff, fileKind_);
    return StatusDialogOk;
}

void DetailsDialog::InitControls() {
    ShowByteOrder(window_, byteOrder_ == ByteOrderIntel);
    CheckDlgButton(window_, IDC_BIGTIFF, fileKind_ == FileKindBigTiff ? BST_CHECKED : BST_UNCHECKED);
    // Without its choices a list stays empty; without the black-and-white
    // ones the template's position stands too.
    const bool bilevelChoices = LoadChoices(bilevelList_);
    if (bilevelChoices) FillList(bilevelList_);
    if (LoadChoices(colorList_)) FillList(colorList_);
    if (LoadChoices(qualityList_)) FillList(qualityList_);
    if (bilevelChoices) PlaceWindow();
}

bool DetailsDialog::LoadChoices(CompressionList& list) {
    char countText[128];
    LoadResourceString(list.countId, countText, sizeof countText);
    const int32_t count = std::max(0, std::min(ParseDecimal(countText), list.maxEntries));

    delete[] list.choices;
    list.count = 0;
    list.choices = AllocateChoices(count);
    if (list.choices == nullptr) return false;
    list.count = count;

    for (int32_t j = 0; j < list.count; ++j) {
        char entry[128];
        char* fields[2];
        SplitResourceString(list.countId + 1 + static_cast<UINT>(j), 2, entry, sizeof entry, fields);
        CompressionEntry& choice = list.choices[j];
        choice.value = ParseDecimal(fields[0]);
        std::strncpy(choice.label, fields[1], sizeof choice.label - 1);
        choice.label[sizeof choice.label - 1] = '\0';
    }
    return true;
}

void DetailsDialog::FillList(const CompressionList& list) {
    int32_t preselected = 0;
    for (int32_t j = 0; j < list.count; ++j) {
        // The last entry carrying the stored value wins.
        if (list.choices[j].value == *list.setting) preselected = j;
        // Inserted at the end, so list position j stays entry j even when the
        // combo box sorts.
        SendDlgItemMessageA(window_, list.controlId, CB_INSERTSTRING, static_cast<WPARAM>(-1),
                            reinterpret_cast<LPARAM>(list.choices[j].label));
    }
    SendDlgItemMessageA(window_, list.controlId, CB_SETCURSEL, static_cast<WPARAM>(preselected), 0);
}

void DetailsDialog::PlaceWindow() {
    // A stored position is used as it is, even off every screen; with no key
    // at all the dialog is centred.
    int32_t x = 0;
    int32_t y = 0;
    if (state_->ReadWindowPosition(&x, &y)) {
        SetWindowPos(window_, nullptr, x, y, 0, 0, SWP_NOSIZE);
    } else {
        CenterOnScreen();
    }
}

bool DetailsDialog::ApplyControls() {
    const bool intel = IsDlgButtonChecked(window_, IDC_BYTE_ORDER_INTEL) == BST_CHECKED;
    byteOrder_ = intel ? ByteOrderIntel : ByteOrderMotorola;
    fileKind_ = IsDlgButtonChecked(window_, IDC_BIGTIFF) == BST_CHECKED ? FileKindBigTiff : FileKindClassic;
    // No selection (or one the list was not built from) leaves the compression.
    for (const CompressionList* list : {&bilevelList_, &colorList_, &qualityList_}) {
        const LRESULT index = SendDlgItemMessageA(window_, list->controlId, CB_GETCURSEL, 0, 0);
        if (index >= 0 && index < list->count) *list->setting = list->choices[index].value;
    }
    return true;
}

INT_PTR CALLBACK DetailsDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<DetailsDialog*>(lParam);
        if (dialog == nullptr) return FALSE;
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        dialog->window_ = window;
        dialog->InitControls();
        return FALSE;
    }
    DetailsDialog* dialog = DialogOf(window);
    if (dialog == nullptr) return FALSE;

    if (message == WM_CLOSE) {
        dialog->state_->WriteWindowPosition(window);
        EndDialog(window, static_cast<INT_PTR>(wParam));
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;

    switch (LOWORD(wParam)) {
        case IDOK:
            if (!dialog->ApplyControls()) return FALSE;
            [[fallthrough]];
        case IDCANCEL:
            dialog->state_->WriteWindowPosition(window);
            // The bare identifier: an OK that arrives with a notification code in
            // the high word (an accelerator, a keyboard path) is still an OK.
            EndDialog(window, static_cast<INT_PTR>(LOWORD(wParam)));
            return TRUE;
        case IDC_BYTE_ORDER_INTEL:
        case IDC_BYTE_ORDER_MOTOROLA:
            // Mirror the Intel button onto the Motorola one.
            ShowByteOrder(window, IsDlgButtonChecked(window, IDC_BYTE_ORDER_INTEL) == BST_CHECKED);
            return FALSE;
        default: return FALSE;
    }
}
