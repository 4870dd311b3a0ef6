#include "page/raw_coder.h"

#include "page/strip_rows.h"

PluginStatus RawCoder::CodeBand(const BandRows& band, const StripShape& shape, CodeSink& sink) {
    StripRows rows(band, shape);
    if (!rows.ok()) return StatusNoMemory;
    return sink.Append(rows.bytes(), static_cast<uint32_t>(rows.size()));
}
