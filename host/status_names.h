// The host's names for the statuses the plug-in returns.
#pragma once

#include <cstdint>
#include <string>

// "StatusDiskFull", ...; "unknown status" for codes outside the table.
const char* HostStatusName(uint16_t status);

// "StatusDiskFull (201)".
std::string DescribeStatus(uint16_t status);
