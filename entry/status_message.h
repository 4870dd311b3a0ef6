// The message box that tells the user about a failed command.
#pragma once

#include "base/status.h"
#include "platform/win32.h"

// Which volume a StatusDiskFull found full: the one of the temporary folder
// (the page files) or the destination's, and a path on it.
struct FullVolume {
    bool temporaryFolder = false;
    char path[260] = {};
};

// The resource string that explains `status`, or 0 when it shows no box.
UINT StatusMessageId(PluginStatus status, bool temporaryFolder = false);

// Shows the message box of `status`, owned by `owner`, if it has one; a
// full disk's names the volume in `full`.
void ShowStatusMessage(HWND owner, PluginStatus status, const FullVolume* full = nullptr);
