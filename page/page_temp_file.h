// The temporary file in which a page is assembled: a fresh "~TF" file in the
// user's temp directory, made by the plug-in itself and private to the user.
// Only such a file is ever opened or deleted by the name that the registry
// holds between commands.
#pragma once

#include "output/file_handle.h"

// Creates a fresh, empty page file on `file`, named in `path` and recorded
// in `record` (see FileHandle::CreateUnique).
PluginStatus CreatePageTempFile(FileHandle& file, CreationRecord& record, char (&path)[260], FileIdentity* identity);

// True when `path` names a page file: directly in the temp directory, with
// the "~TF" prefix.
bool IsPageTempFile(const char* path);
