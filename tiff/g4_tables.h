// Code tables of the Group 4 coder: the run-length code words of ITU-T T.4
// (shared by T.6) and the T.6 mode codes.
#pragma once

#include <cstdint>

struct CodeEntry {
    uint16_t length;  // bits in the code word
    uint16_t code;    // the code word, right-aligned
    int16_t run;      // run length the word stands for (0 for mode codes)
};

// Rows 0-63: terminating codes for runs 0-63; rows 64-90: make-up codes for
// 64-1728 (row 63 + run / 64); rows 91-103: extended make-up codes for
// 1792-2560, the same in both colours.
inline constexpr int kRunTableRows = 104;
inline constexpr int kLastTerminatingRow = 63;
inline constexpr int kLargestMakeUpRow = 103;  // make-up 2560
extern const CodeEntry whiteRunTable[kRunTableRows];
extern const CodeEntry blackRunTable[kRunTableRows];

// T.6 mode codes. The vertical table is indexed by b1 - a1 + 3:
// VR3, VR2, VR1, V0, VL1, VL2, VL3.
extern const CodeEntry passCode;
extern const CodeEntry horizontalCode;
extern const CodeEntry verticalCodes[7];
