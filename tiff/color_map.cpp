#include "tiff/color_map.h"

#include "tiff/image_format.h"

namespace {

void PutMapValue(uint8_t* map, uint32_t index, uint8_t intensity) {
    map[2 * index] = intensity;  // intensity × 257: both bytes equal
    map[2 * index + 1] = intensity;
}

}  // namespace

uint32_t ColorMapPlaneValues(int32_t format) {
    switch (format) {
        case FormatPalette8: return 256;
        case FormatPalette4: return 16;
        default: return 0;
    }
}

void BuildColorMap(const PaletteColors& palette, uint32_t planeValues, uint8_t* map) {
    uint32_t entries = palette.count;
    if (entries > planeValues) entries = planeValues;
    for (uint32_t i = 0; i < entries; ++i) {
        const uint8_t* rgb = palette.rgb + palette.stride * i;
        PutMapValue(map, i, rgb[0]);
        PutMapValue(map, planeValues + i, rgb[1]);
        PutMapValue(map, 2 * planeValues + i, rgb[2]);
    }
}
