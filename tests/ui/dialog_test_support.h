// Playing the user in the plug-in's dialogs through the headless dialog model:
// what the dialog showed when it opened, and what the user then did.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/status.h"
#include "platform/testing.h"
#include "platform/win32.h"
#include "resources/resource_ids.h"
#include "ui/resource_strings.h"

namespace ui_test {

// The dialog as the user first saw it.
struct Opened {
    int count = 0;
    std::string templateName;
    UINT intel = BST_UNCHECKED;
    UINT motorola = BST_UNCHECKED;
    std::vector<std::string> entries;
    int selection = CB_ERR;
    RECT rect = {0, 0, 0, 0};
};

// Installs a driver that records the opened dialog into `opened`, then lets
// `user` act on it (nothing: the dialog is closed by its close box).
inline void PlayUser(Opened* opened, std::function<void(HWND)> user = nullptr) {
    platform::testing::SetDialogDriver([opened, user](HWND dialog) {
        ++opened->count;
        opened->templateName = platform::testing::DialogTemplateName(dialog);
        opened->intel = IsDlgButtonChecked(dialog, IDC_BYTE_ORDER_INTEL);
        opened->motorola = IsDlgButtonChecked(dialog, IDC_BYTE_ORDER_MOTOROLA);
        opened->entries = platform::testing::ComboEntries(dialog, IDC_COMPRESSION_LIST);
        opened->selection = platform::testing::ComboSelection(dialog, IDC_COMPRESSION_LIST);
        opened->rect = platform::testing::WindowRect(dialog);
        if (user) user(dialog);
    });
}

inline std::string ResourceText(UINT id) {
    char text[512];
    LoadResourceString(id, text, sizeof text);
    return text;
}

}  // namespace ui_test
