// The headless model of a dialog from a template of a generated resource
// library: control kinds from window class and button style, and the window
// rectangle in pixels from dialog units.
#include "platform/dialog_template_model.h"

#include <strings.h>

#include "platform/resource_tables.h"

namespace platform::dialogs {
namespace {

// Pixels per dialog unit of the headless screen.
constexpr int kPixelsPerUnitX = 2;
constexpr int kPixelsPerUnitY = 2;

constexpr unsigned kGroupStyle = 0x00020000u;  // WS_GROUP
constexpr unsigned kButtonTypeMask = 0x0Fu;    // BS_TYPEMASK
constexpr unsigned kCheckBox = 0x2u;           // BS_CHECKBOX
constexpr unsigned kAutoCheckBox = 0x3u;       // BS_AUTOCHECKBOX
constexpr unsigned kRadioButton = 0x4u;        // BS_RADIOBUTTON
constexpr unsigned kAutoRadioButton = 0x9u;    // BS_AUTORADIOBUTTON

ControlKind KindOf(const ZeduzControlTemplate& control) {
    const char* className = control.className != nullptr ? control.className : "";
    if (strcasecmp(className, "COMBOBOX") == 0) return ControlKind::ComboBox;
    if (strcasecmp(className, "BUTTON") != 0) return ControlKind::Other;
    switch (control.style & kButtonTypeMask) {
        case kCheckBox: return ControlKind::CheckBox;
        case kAutoCheckBox: return ControlKind::AutoCheckBox;
        case kRadioButton: return ControlKind::RadioButton;
        case kAutoRadioButton: return ControlKind::AutoRadioButton;
        default: return ControlKind::PushButton;
    }
}

}  // namespace

bool BuildFromTemplate(HMODULE module, LPCSTR templateName, DialogWindow* dialog) {
    const ZeduzDialogTemplate* found = FindDialogTemplate(module, templateName);
    if (found == nullptr) return false;

    dialog->templateName = found->name;
    const LONG left = found->x * kPixelsPerUnitX;
    const LONG top = found->y * kPixelsPerUnitY;
    dialog->rect = {left, top, left + found->cx * kPixelsPerUnitX, top + found->cy * kPixelsPerUnitY};

    dialog->controls.clear();
    for (int i = 0; i < found->controlCount; ++i) {
        const ZeduzControlTemplate& source = found->controls[i];
        Control control;
        control.id = source.id;
        control.kind = KindOf(source);
        // The first control always opens a group, as in a real dialog.
        control.groupStart = i == 0 || (source.style & kGroupStyle) != 0;
        dialog->controls.push_back(control);
    }
    return true;
}

}  // namespace platform::dialogs
