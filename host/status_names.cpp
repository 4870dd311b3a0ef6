#include "host/status_names.h"

namespace {

struct StatusName {
    uint16_t code;
    const char* name;
};

constexpr StatusName kStatusNames[] = {
    {0, "StatusOk"},
    {201, "StatusDiskFull"},
    {202, "StatusCreateFailed"},
    {203, "StatusOpenFailed"},
    {204, "StatusReadFailed"},
    {205, "StatusWriteFailed"},
    {206, "StatusCloseFailed"},
    {207, "StatusDeleteFailed"},
    {208, "StatusSeekFailed"},
    {209, "StatusUnsupportedImage"},
    {211, "StatusUnknownCommand"},
    {213, "StatusNoResources"},
    {214, "StatusBadSequence"},
    {215, "StatusNotAppendable"},
    {216, "StatusBadRecord"},
    {217, "StatusStateUnavailable"},
    {218, "StatusEmptyPage"},
    {0xFFFF, "StatusNoMemory"},
    {0x1001, "StatusDialogOk"},
    {0x1002, "StatusDialogCancel"},
};

}  // namespace

const char* HostStatusName(uint16_t status) {
    for (const StatusName& entry : kStatusNames) {
        if (entry.code == status) {
            return entry.name;
        }
    }
    return "unknown status";
}

std::string DescribeStatus(uint16_t status) {
    return std::string(HostStatusName(status)) + " (" + std::to_string(status) + ")";
}
