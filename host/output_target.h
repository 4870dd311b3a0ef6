// The output file a job writes, checked before anything is written: its
// folder must exist, and an existing output must be a regular file (a
// device, FIFO, folder or socket is refused). A symbolic link is followed
// to the file it names, so that the pages go to that file and the link
// stays.
#pragma once

#include <string>

#include "host/file_identity.h"

struct OutputTarget {
    std::string path;       // the full path handed to the plug-in, links resolved
    std::string canonical;  // what names the file whatever its spelling: the job's key and lock come from it
    bool exists = false;
    FileIdentity identity;  // when it exists
};

// False with `error` set (a message for the user) when the output cannot
// be written as a regular file.
bool ResolveOutput(const std::string& given, OutputTarget& target, std::string& error);
