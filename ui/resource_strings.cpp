// Texts from the resource library: loading by identifier and splitting a
// "value,label" entry into its fields.
#include "ui/resource_strings.h"

#include <cstring>

namespace {

HMODULE g_resourceModule = nullptr;

// Where fields point that a caller gets no buffer for.
char g_noText[1] = {'\0'};

}  // namespace

HMODULE ResourceModule() { return g_resourceModule; }

void SetResourceModule(HMODULE module) { g_resourceModule = module; }

int LoadResourceString(UINT id, char* buffer, int size) {
    if (buffer == nullptr || size <= 0) return 0;
    buffer[0] = '\0';
    if (g_resourceModule == nullptr) return 0;
    int copied = LoadStringA(g_resourceModule, id, buffer, size);
    if (copied < 0) copied = 0;
    if (copied > size - 1) copied = size - 1;
    // Terminate whatever the loader left, so callers never read past it.
    buffer[copied] = '\0';
    return copied;
}

int SplitResourceString(UINT id, int maxFields, char* buffer, int size, char** fields) {
    if (fields == nullptr || maxFields <= 0) return 0;
    if (buffer == nullptr || size <= 0) {
        for (int f = 0; f < maxFields; ++f) fields[f] = g_noText;
        return 0;
    }
    LoadResourceString(id, buffer, size);
    char* const end = buffer + std::strlen(buffer);

    fields[0] = buffer;
    int found = 1;
    size_t i = 0;
    while (found < maxFields && buffer[i] != '\0') {
        if (IsDBCSLeadByte(static_cast<BYTE>(buffer[i]))) {
            // A lead byte right before the terminator has no trail byte to skip.
            if (buffer[i + 1] == '\0') break;
            ++i;
        } else if (buffer[i] == ',') {
            buffer[i] = '\0';
            fields[found++] = buffer + i + 1;
        } else if (buffer[i] == '$') {
            buffer[i] = ',';
        }
        ++i;
    }
    // Fields the string did not have read as empty text.
    for (int f = found; f < maxFields; ++f) fields[f] = end;
    return found;
}
