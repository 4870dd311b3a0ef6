#include "tiff/g4_runs.h"

uint32_t FindChanges(const uint8_t* line, uint32_t width, bool blackIsOne, uint32_t* changes) {
    uint32_t count = 0;
    uint32_t position = 0;
    bool black = false;  // colour of the run that starts at `position`
    while (position < width) {
        // A white run is a run of 0 bits in coder sense and of 1 bits in the host's.
        const bool onesRun = (black == blackIsOne);
        position += onesRun ? FindOneRun(line, position, width) : FindZeroRun(line, position, width);
        if (position < width) changes[count++] = position;
        black = !black;
    }
    for (uint32_t i = 0; i < 3; ++i) changes[count + i] = width;
    return count;
}
