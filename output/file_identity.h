// Which file a handle holds: the volume and index the system gives every
// file, recorded when the plug-in creates a file and compared whenever it
// opens that file again, so that a name swapped for a link or another file
// is never written to or read from.
#pragma once

#include <cstdint>

struct FileIdentity {
    uint32_t volume = 0;
    uint32_t indexHigh = 0;
    uint32_t indexLow = 0;
    bool known = false;  // false: nothing recorded, no file can prove to be this one

    bool operator==(const FileIdentity& other) const {
        return known && other.known && volume == other.volume && indexHigh == other.indexHigh &&
               indexLow == other.indexLow;
    }
};

// "vvvvvvvv:hhhhhhhh:llllllll" (hex), the form the job's registry key holds;
// an empty text for an identity not known.
void FormatFileIdentity(const FileIdentity& identity, char (&text)[260]);
// An identity not known for any text that is not of that form.
FileIdentity ParseFileIdentity(const char* text);
