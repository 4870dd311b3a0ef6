#include "tiff/horizontal_predictor.h"

#include "tiff/byte_order.h"

namespace {

// From the right, so that each sample is differenced against its original
// left neighbour.
void Difference8(uint8_t* row, uint64_t bytes, uint32_t stride) {
    for (uint64_t i = bytes; i-- > stride;) row[i] = static_cast<uint8_t>(row[i] - row[i - stride]);
}

template <bool kBigEndian>
uint16_t Load16(const uint8_t* at) {
    return kBigEndian ? static_cast<uint16_t>(at[0] << 8 | at[1]) : static_cast<uint16_t>(at[1] << 8 | at[0]);
}

template <bool kBigEndian>
void Store16(uint8_t* at, uint16_t value) {
    at[kBigEndian ? 0 : 1] = static_cast<uint8_t>(value >> 8);
    at[kBigEndian ? 1 : 0] = static_cast<uint8_t>(value);
}

template <bool kBigEndian>
void Difference16(uint8_t* row, uint64_t samples, uint32_t stride) {
    for (uint64_t i = samples; i-- > stride;) {
        const uint16_t value = Load16<kBigEndian>(row + 2 * i) - Load16<kBigEndian>(row + 2 * (i - stride));
        Store16<kBigEndian>(row + 2 * i, value);
    }
}

}  // namespace

void DifferenceRows(uint8_t* rows, uint32_t rowCount, uint64_t rowBytes, uint32_t samplesPerPixel,
                    uint32_t bitsPerSample, int32_t byteOrder) {
    const bool bigEndian = IsBigEndian(byteOrder);
    for (uint32_t r = 0; r < rowCount; ++r, rows += rowBytes) {
        if (bitsPerSample == 8)
            Difference8(rows, rowBytes, samplesPerPixel);
        else if (bigEndian)
            Difference16<true>(rows, rowBytes / 2, samplesPerPixel);
        else
            Difference16<false>(rows, rowBytes / 2, samplesPerPixel);
    }
}
