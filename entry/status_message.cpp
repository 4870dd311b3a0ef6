#include "entry/status_message.h"

#include <new>
#include <string>

#include "output/volume_root.h"
#include "resources/resource_ids.h"
#include "ui/resource_strings.h"

UINT StatusMessageId(PluginStatus status, bool temporaryFolder, FailureNote note) {
    if (status == StatusWriteFailed && note == FailureNote::ClassicFileFull) return IDS_MESSAGE_CLASSIC_FULL;
    if (status == StatusNotAppendable && note == FailureNote::FileIsClassic) return IDS_MESSAGE_FILE_IS_CLASSIC;
    if (status == StatusNotAppendable && note == FailureNote::FileIsBigTiff) return IDS_MESSAGE_FILE_IS_BIGTIFF;
    switch (status) {
        case StatusNoMemory: return IDS_MESSAGE_NO_MEMORY;
        case StatusDiskFull: return temporaryFolder ? IDS_MESSAGE_TEMP_FULL : IDS_MESSAGE_DISK_FULL;
        case StatusCreateFailed:
        case StatusOpenFailed:
        case StatusReadFailed:
        case StatusWriteFailed:
        case StatusCloseFailed: return IDS_MESSAGE_FILE_ERROR;
        case StatusNotAppendable: return IDS_MESSAGE_NOT_APPENDABLE;
        case StatusStateUnavailable: return IDS_MESSAGE_STATE_UNAVAILABLE;
        case StatusEmptyPage: return IDS_MESSAGE_EMPTY_PAGE;
        case StatusJobInUse: return IDS_MESSAGE_JOB_IN_USE;
        default: return 0;
    }
}

namespace {

// The text with its "%s" (the first) replaced by the volume of `path`.
std::string WithVolume(const char* text, const char* path) {
    std::string message = text;
    size_t slot = message.find("%s");
    if (slot == std::string::npos) return message;
    std::string volume;
    if (path == nullptr || path[0] == '\0' || !VolumeRoot(path, volume)) volume = "?";
    return message.replace(slot, 2, volume);
}

}  // namespace

void ShowStatusMessage(HWND owner, PluginStatus status, const FullVolume* full, FailureNote note) {
    const bool temporaryFolder = full != nullptr && full->temporaryFolder;
    UINT textId = StatusMessageId(status, temporaryFolder, note);
    if (textId == 0) return;
    char caption[32];
    char text[128];
    LoadResourceString(IDS_MESSAGE_CAPTION, caption, sizeof(caption));
    LoadResourceString(textId, text, sizeof(text));
    try {
        const char* path = full != nullptr ? full->path : nullptr;
        MessageBoxA(owner, status == StatusDiskFull ? WithVolume(text, path).c_str() : text, caption, MB_OK);
    } catch (const std::bad_alloc&) {
        MessageBoxA(owner, text, caption, MB_OK);
    }
}
