// The built-in demo document: one page of each kind the plug-in writes,
// generated in code row by row (the same bytes on every platform).
#pragma once

#include <memory>
#include <vector>

#include "host/format_mapping.h"
#include "host/page_rows.h"

struct DemoPage {
    ImageInfo image;
    // Sample `channel` of pixel (x, y), at the image's depth.
    uint32_t (*sample)(const ImageInfo& image, uint32_t x, uint32_t y, int channel);
};

std::vector<DemoPage> MakeDemoPages();

// The rows of a demo page, laid out as `page`.
std::unique_ptr<PageRows> DemoRows(const DemoPage& demo, const ScanPage& page);
