// Builds the headless model of a dialog from its template in a resource library.
#pragma once

#include "platform/dialog_model.h"

namespace platform::dialogs {

// Fills `dialog` with the template's controls and its window rectangle in
// screen pixels. False when the module has no template of that name.
bool BuildFromTemplate(HMODULE module, LPCSTR templateName, DialogWindow* dialog);

}  // namespace platform::dialogs
