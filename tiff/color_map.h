// The TIFF ColorMap of a palette page, built from the host's palette as the
// plug-in reads it (entry/ knows the record's layout, this file does not).
//
// Three planes of 16-bit values (all red, then green, then blue), one value
// per palette index: intensity × 257. Both bytes of a value are equal, so
// the map reads the same in either byte order.
#pragma once

#include <cstdint>

// Values per plane for a palette format (256 or 16); 0 for any other format.
uint32_t ColorMapPlaneValues(int32_t format);

// Bytes of the whole map: 3 planes of 2-byte values.
constexpr uint32_t ColorMapBytes(uint32_t planeValues) { return 3 * 2 * planeValues; }

// A palette of `count` entries: the red, green and blue bytes of entry i lie
// at rgb + stride * i.
struct PaletteColors {
    uint32_t count;
    const uint8_t* rgb;
    uint32_t stride;
};

// Fills a zero-filled map of ColorMapBytes(planeValues) bytes. Entries past
// the plane are cut: the map has no room for them.
void BuildColorMap(const PaletteColors& palette, uint32_t planeValues, uint8_t* map);
