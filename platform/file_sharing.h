// Windows share modes over POSIX files.
//
// Every open file description records what it holds (read, write access) and
// what it denies to later openers (the share bits it left out) as shared
// open-file-description locks on marker bytes far past any real data. A new
// opener asks whether anyone denies what it wants or holds what it denies.
// The locks belong to the open file description, so the rules hold between
// handles of one process as well as between processes.
#pragma once

#include "platform/win32_linux.h"

namespace platform {

// Records the opener's access and share mode on `fd` after checking them
// against every other open description of the file. False with
// ERROR_SHARING_VIOLATION when they conflict. On a file system without
// open-file-description locks nothing is checked.
bool ClaimSharing(int fd, DWORD access, DWORD shareMode);

// Whether some open description of `path` refuses to share deletion (and
// so renaming or replacing the file). Unknown (unreadable file) counts as no.
bool IsDeletionDenied(const char* path);

// Whether some open description of `path` refuses to share writing.
bool IsWritingDenied(const char* path);

}  // namespace platform
