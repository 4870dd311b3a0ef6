// The message box that tells the user about a failed command.
#pragma once

#include "base/status.h"
#include "output/volume_root.h"
#include "page/failure_note.h"
#include "platform/win32.h"

// The resource string that explains `status`, or 0 when it shows no box; a
// note that belongs to the status chooses a text of its own.
UINT StatusMessageId(PluginStatus status, bool temporaryFolder = false, FailureNote note = FailureNote::None);

// Shows the message box of `status`, owned by `owner`, if it has one; a
// full disk's names the volume in `full`.
void ShowStatusMessage(HWND owner, PluginStatus status, const FullVolume* full = nullptr,
                       FailureNote note = FailureNote::None);
