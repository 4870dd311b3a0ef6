// LoadStringA: a string of a resource library by identifier, truncated to
// the caller's buffer and always terminated.
#include <cstring>

#include "platform/last_error.h"
#include "platform/resource_tables.h"

int LoadStringA(HINSTANCE module, UINT id, LPSTR buffer, int size) {
    if (buffer == nullptr || size <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    buffer[0] = '\0';
    const char* text = FindResourceString(module, id);
    if (text == nullptr) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    size_t count = strnlen(text, static_cast<size_t>(size) - 1);
    memcpy(buffer, text, count);
    buffer[count] = '\0';
    SetLastError(ERROR_SUCCESS);
    return static_cast<int>(count);
}
