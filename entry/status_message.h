// The message box that tells the user about a failed command.
#pragma once

#include "base/status.h"
#include "output/volume_root.h"
#include "platform/win32.h"

// The resource string that explains `status`, or 0 when it shows no box.
UINT StatusMessageId(PluginStatus status, bool temporaryFolder = false);

// Shows the message box of `status`, owned by `owner`, if it has one; a
// full disk's names the volume in `full`.
void ShowStatusMessage(HWND owner, PluginStatus status, const FullVolume* full = nullptr);
