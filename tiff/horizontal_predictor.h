// The horizontal predictor (Predictor 2): each sample of a strip row is
// replaced by its difference from the same sample of the pixel to its left,
// modulo the sample's range, so that smooth rows become runs of small values
// that LZW and Deflate code far better. Rows are differenced independently.
#pragma once

#include <cstdint>

// Differences `rowCount` strip rows of `rowBytes` bytes in place. Samples of
// 8 bits, or of 16 bits in the file's byte order, `samplesPerPixel` to a
// pixel.
void DifferenceRows(uint8_t* rows, uint32_t rowCount, uint64_t rowBytes, uint32_t samplesPerPixel,
                    uint32_t bitsPerSample, int32_t byteOrder);
