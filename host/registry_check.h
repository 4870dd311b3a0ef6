// Whether the registry that carries the job's state between commands can be
// used, asked before the plug-in is: with a damaged or unreadable registry
// every command would fail, and the user is told where the registry is.
#pragma once

#include <cstdint>
#include <string>

// False with `error` set when opening the plug-in's key fails for another
// reason than its absence.
bool CheckRegistry(std::string& error);

// "CmdX failed with StatusY (n)", naming the registry for a command that
// failed because the registry could not be used (217).
std::string CommandFailure(const char* command, uint16_t status);

// "cannot use the registry database ... : another program keeps it locked
// (registry error 33)": a registry call on `keyPath` that failed with `status`,
// naming where the registry is and why, in the words the user can act on.
std::string RegistryFailure(const std::string& keyPath, long status);
