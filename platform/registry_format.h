// The text form of one registry key's values ("values.reg"), one value a
// line:
//   ; comment
//   "File Type"=dword:00004949
//   "TempFile"="/tmp/~TF1A2B.TMP"
//   "X"=hex:01,02,03
//   "Y"=hex(7):41,00,00
//   @="the key's default value"
// Strings escape '\\', '"' and every byte outside printable ASCII as \xHH.
// REG_SZ is written as a string only when its data is text with exactly one
// terminating NUL, REG_DWORD as dword only when it has 4 bytes; anything else
// as hex, so every value reads back byte for byte with its type.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32_linux.h"

namespace platform::registry {

struct Value {
    std::string name;  // empty: the key's default value
    DWORD type;
    std::vector<uint8_t> data;
};

struct ParsedValues {
    std::vector<Value> values;
    bool clean = true;  // false when some line could not be read
};

ParsedValues ParseValues(const std::string& text);
std::string SerializeValues(const std::vector<Value>& values);

// Value names compare without regard to (ASCII) case, as on Windows.
bool SameName(const std::string& a, const std::string& b);
std::vector<Value>::iterator FindValue(std::vector<Value>& values, const std::string& name);

}  // namespace platform::registry
