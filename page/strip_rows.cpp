#include "page/strip_rows.h"

#include "tiff/pixel_convert.h"

// The band's bytes are below the 32-bit offset limit: the band's record was
// checked before it came here.
StripRows::StripRows(const BandRows& band, const StripShape& shape)
    : size_(ConvertedBandBytes(shape.format, band.width, band.rows)), block_(static_cast<size_t>(size_)) {
    if (!ok()) return;
    ConvertBand(shape.format, BandSource{band.pixels, band.width, band.rows, band.bilevelRowBytes}, shape.byteOrder,
                block_.get());
}
