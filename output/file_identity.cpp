#include "output/file_identity.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

void FormatFileIdentity(const FileIdentity& identity, char (&text)[260]) {
    if (!identity.known) {
        text[0] = '\0';
        return;
    }
    std::snprintf(text, sizeof(text), "%08" PRIx32 ":%08" PRIx32 ":%08" PRIx32, identity.volume, identity.indexHigh,
                  identity.indexLow);
}

FileIdentity ParseFileIdentity(const char* text) {
    FileIdentity identity;
    if (text == nullptr || std::strlen(text) != 26) return identity;
    char trailing = 0;
    if (std::sscanf(text, "%8" SCNx32 ":%8" SCNx32 ":%8" SCNx32 "%c", &identity.volume, &identity.indexHigh,
                    &identity.indexLow, &trailing) == 3)
        identity.known = true;
    return identity;
}
