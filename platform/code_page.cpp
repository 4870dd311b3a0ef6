// The ANSI code page: a single-byte code page, whose lead bytes the tests
// may set to exercise double-byte stepping.
#include "platform/fault_hooks.h"

BOOL IsDBCSLeadByte(BYTE value) { return platform::hooks::IsLeadByte(value) ? TRUE : FALSE; }

LPSTR CharNextA(LPCSTR current) {
    if (current == nullptr) return nullptr;
    if (*current == '\0') return const_cast<LPSTR>(current);  // stays at the end
    // A lead byte and its trail byte are one character, unless the string
    // ends right after the lead byte.
    if (IsDBCSLeadByte(static_cast<BYTE>(*current)) && current[1] != '\0') {
        return const_cast<LPSTR>(current + 2);
    }
    return const_cast<LPSTR>(current + 1);
}
