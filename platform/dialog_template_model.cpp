#include "platform/dialog_template_model.h"

namespace platform::dialogs {

bool BuildFromTemplate(HMODULE module, LPCSTR templateName, DialogWindow* dialog) {
    return false;
}

}  // namespace platform::dialogs
