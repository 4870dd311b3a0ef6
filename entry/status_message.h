// The message box that tells the user about a failed command.
#pragma once

#include "base/status.h"
#include "platform/win32.h"

// The resource string that explains `status`, or 0 when it shows no box.
UINT StatusMessageId(PluginStatus status);

// Shows the message box of `status`, owned by `owner`, if it has one.
void ShowStatusMessage(HWND owner, PluginStatus status);
