#include "output/status.h"

const char* StatusName(PluginStatus status) {
    switch (status) {
        case StatusOk: return "StatusOk";
        case StatusDiskFull: return "StatusDiskFull";
        case StatusCreateFailed: return "StatusCreateFailed";
        case StatusOpenFailed: return "StatusOpenFailed";
        case StatusReadFailed: return "StatusReadFailed";
        case StatusWriteFailed: return "StatusWriteFailed";
        case StatusCloseFailed: return "StatusCloseFailed";
        case StatusDeleteFailed: return "StatusDeleteFailed";
        case StatusSeekFailed: return "StatusSeekFailed";
        case StatusUnsupportedImage: return "StatusUnsupportedImage";
        case StatusUnknownCommand: return "StatusUnknownCommand";
        case StatusNoResources: return "StatusNoResources";
        case StatusBadSequence: return "StatusBadSequence";
        case StatusNotAppendable: return "StatusNotAppendable";
        case StatusBadRecord: return "StatusBadRecord";
        case StatusStateUnavailable: return "StatusStateUnavailable";
        case StatusEmptyPage: return "StatusEmptyPage";
        case StatusNoMemory: return "StatusNoMemory";
        case StatusDialogOk: return "StatusDialogOk";
        case StatusDialogCancel: return "StatusDialogCancel";
        default: return "unknown status";
    }
}
