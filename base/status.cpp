#include "base/status.h"

namespace {

struct NamedStatus {
    PluginStatus code;
    const char* name;
};

constexpr NamedStatus kStatusNames[] = {
    {StatusOk, "StatusOk"},
    {StatusDiskFull, "StatusDiskFull"},
    {StatusCreateFailed, "StatusCreateFailed"},
    {StatusOpenFailed, "StatusOpenFailed"},
    {StatusReadFailed, "StatusReadFailed"},
    {StatusWriteFailed, "StatusWriteFailed"},
    {StatusCloseFailed, "StatusCloseFailed"},
    {StatusDeleteFailed, "StatusDeleteFailed"},
    {StatusSeekFailed, "StatusSeekFailed"},
    {StatusUnsupportedImage, "StatusUnsupportedImage"},
    {StatusUnknownCommand, "StatusUnknownCommand"},
    {StatusNoResources, "StatusNoResources"},
    {StatusBadSequence, "StatusBadSequence"},
    {StatusNotAppendable, "StatusNotAppendable"},
    {StatusBadRecord, "StatusBadRecord"},
    {StatusStateUnavailable, "StatusStateUnavailable"},
    {StatusEmptyPage, "StatusEmptyPage"},
    {StatusJobInUse, "StatusJobInUse"},
    {StatusNoMemory, "StatusNoMemory"},
    {StatusDialogOk, "StatusDialogOk"},
    {StatusDialogCancel, "StatusDialogCancel"},
};

}  // namespace

const char* StatusName(PluginStatus status) {
    for (const NamedStatus& entry : kStatusNames) {
        if (entry.code == status) return entry.name;
    }
    return "unknown status";
}

std::string DescribeStatus(PluginStatus status) {
    return std::string(StatusName(status)) + " (" + std::to_string(status) + ")";
}
