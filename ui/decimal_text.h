// Numbers written as decimal text in the resource library.
#pragma once

#include <cstdint>

// Leading blanks, an optional sign, then digits up to the first other
// character; no digits reads as 0. Values beyond 32 bits saturate.
int32_t ParseDecimal(const char* text);
