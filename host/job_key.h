// Where a job's state lives: a registry key of its own per output file, so
// that jobs into different files never share state, and a job on a file
// finds what a killed earlier job on that file left. The key is named from
// the 64-bit FNV-1a hash of the output's canonical path.
#pragma once

#include <cstdint>
#include <string>

// The 64-bit FNV-1a hash of `text`.
uint64_t Fnv1a64(const std::string& text);

// 16 lowercase hex digits of the hash of `canonicalOutput`.
std::string OutputHashText(const std::string& canonicalOutput);

// "Software\Zeduz\Scan\Jobs\<hash>", below HKEY_CURRENT_USER; the plug-in's
// subkey lies below it.
std::string JobKeyPath(const std::string& canonicalOutput);
