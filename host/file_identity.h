// What a file is, rather than how it is spelt: two paths (another spelling,
// a hard link, a symbolic link) name the same file exactly when their
// identities are equal. Linux: device and inode; Windows: the volume serial
// number and the file index.
#pragma once

#include <cstdint>
#include <string>

struct FileIdentity {
    uint64_t volume = 0;
    uint64_t file = 0;

    bool operator==(const FileIdentity& other) const { return volume == other.volume && file == other.file; }
};

// The identity of the file `path` names, links followed; false when there is
// no such file or it cannot be asked.
bool IdentityOf(const std::string& path, FileIdentity& identity);

// The identity of whatever standard input reads from; false when it is closed.
bool IdentityOfStandardInput(FileIdentity& identity);
