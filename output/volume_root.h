// Which volume a path lies on, as the free-space queries want it named.
#pragma once

#include <string>

// Which volume a StatusDiskFull found full: the one of the temporary folder
// (the page files) or the destination's, and a path on it.
struct FullVolume {
    bool temporaryFolder = false;
    char path[260] = {};
};

// The root of a Windows path: "\\server\share\" for a UNC path (the share
// alone, or anything below it), else the first three characters ("C:\").
// Double-byte characters are stepped over whole. False when the path cannot
// be walked.
bool WindowsVolumeRoot(const char* path, std::string& root);

// The name the free-space queries of this platform take for the volume that
// holds `path`: the Windows root on Windows; on Linux the directory that holds
// the path, or the path itself when it is a directory.
bool VolumeRoot(const char* path, std::string& root);

// The directory part of `path`, with its closing separator ("C:\dir\" for
// "C:\dir\f.tif"), or "." when the path names none. Used to place a file
// beside another on the same volume.
std::string DirectoryOf(const char* path);
