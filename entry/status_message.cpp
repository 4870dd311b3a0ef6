#include "entry/status_message.h"

#include "resources/resource_ids.h"
#include "ui/resource_strings.h"

UINT StatusMessageId(PluginStatus status) {
    switch (status) {
        case StatusNoMemory: return IDS_MESSAGE_NO_MEMORY;
        case StatusDiskFull: return IDS_MESSAGE_DISK_FULL;
        case StatusCreateFailed:
        case StatusOpenFailed:
        case StatusReadFailed:
        case StatusWriteFailed:
        case StatusCloseFailed: return IDS_MESSAGE_FILE_ERROR;
        case StatusNotAppendable: return IDS_MESSAGE_NOT_APPENDABLE;
        case StatusStateUnavailable: return IDS_MESSAGE_STATE_UNAVAILABLE;
        case StatusEmptyPage: return IDS_MESSAGE_EMPTY_PAGE;
        default: return 0;
    }
}

void ShowStatusMessage(HWND owner, PluginStatus status) {
    UINT textId = StatusMessageId(status);
    if (textId == 0) return;
    char caption[32];
    char text[128];
    LoadResourceString(IDS_MESSAGE_CAPTION, caption, sizeof(caption));
    LoadResourceString(textId, text, sizeof(text));
    MessageBoxA(owner, text, caption, MB_OK);
}
