// The temporary file in which a page is assembled: a fresh "~TF" file in the
// user's temp directory. Only such a file is ever opened or deleted by the
// name that the registry holds between commands.
#pragma once

// Creates a fresh, empty page file and writes its full path into `path`;
// on failure `path` names no file and false is returned.
bool NamePageTempFile(char (&path)[260]);

// True when `path` names a page file: directly in the temp directory, with
// the "~TF" prefix.
bool IsPageTempFile(const char* path);
