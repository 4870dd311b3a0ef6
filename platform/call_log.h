// A record of the service calls a test build makes, so that a change to the
// code above can be shown to keep them as they were, call for call.
//
// When the environment variable ZEDUZ_CALL_LOG names a file, every service
// call that the fault injection counts, the file calls it does not
// (GetFileSize, GetFileInformationByHandle, FlushFileBuffers) and every
// registry call the plug-in's state store makes append one line to it: the
// call and, for a registry value, the value's name. Release builds and the
// Windows builds carry none of it.
#pragma once

namespace platform::testing {

#ifdef ZEDUZ_FAULT_INJECTION
void LogCall(const char* call, const char* name = nullptr);
#else
inline void LogCall(const char*, const char* = nullptr) {}
#endif

}  // namespace platform::testing
