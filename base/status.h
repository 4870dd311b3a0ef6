// Result codes of every plug-in operation and file primitive, and their
// names; every layer (and the host) uses them.
//
// Statuses are born where a failure happens, mostly in the file primitives,
// and every layer above passes them on unchanged to the host. Only the low
// 16 bits of a result are significant.
#pragma once

#include <cstdint>
#include <string>

using PluginStatus = uint16_t;

enum : PluginStatus {
    StatusOk = 0,
    StatusDiskFull = 201,
    StatusCreateFailed = 202,
    StatusOpenFailed = 203,
    StatusReadFailed = 204,
    StatusWriteFailed = 205,
    StatusCloseFailed = 206,
    StatusDeleteFailed = 207,
    StatusSeekFailed = 208,
    StatusUnsupportedImage = 209,
    StatusUnknownCommand = 211,
    StatusNoResources = 213,
    // The host's calls broke the order of a job (a band with no page begun,
    // a page ended twice, ...) or named a temporary file that is not this
    // job's. Nothing was touched.
    StatusBadSequence = 214,
    // The output file cannot take another page: not a TIFF this plug-in can
    // append to (other byte order, BigTIFF, a damaged or looping chain).
    StatusNotAppendable = 215,
    // A request record the plug-in cannot use: no target, no image where the
    // command reads one, or sizes out of range. Nothing was touched.
    StatusBadRecord = 216,
    // The registry that carries the job and the user's settings cannot be
    // used (damaged, locked or unreadable). Nothing was touched.
    StatusStateUnavailable = 217,
    // A page ended before a single row of it arrived: it is not added, the
    // output file is as it was, and the job may go on with its next page.
    StatusEmptyPage = 218,
    // The job under the request's key belongs to another process that is
    // still running: it is refused, and that job's files and state are left
    // as they are.
    StatusJobInUse = 219,
    StatusNoMemory = 0xFFFF,
    StatusDialogOk = 0x1001,
    StatusDialogCancel = 0x1002,
};

// The name of a status, as the host reports it ("StatusDiskFull", ...);
// "unknown status" for a code outside the table.
const char* StatusName(PluginStatus status);

// The name and the code: "StatusDiskFull (201)".
std::string DescribeStatus(PluginStatus status);
