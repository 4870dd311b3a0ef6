#include "host/page_source.h"

#include "host/demo_pages.h"
#include "host/image_reader.h"

PageSource::PageSource(std::vector<std::string> inputs, const MappingOptions& mapping)
    : inputs_(std::move(inputs)), mapping_(mapping) {}

uint32_t PageSource::CheckAll() const {
    if (inputs_.empty()) {
        return static_cast<uint32_t>(MakeDemoPages().size());
    }
    uint32_t pages = 0;
    bool streams = false;
    for (const std::string& input : inputs_) {
        if (IsStreamInput(input)) {
            streams = true;  // read once, when its turn comes
            continue;
        }
        const std::unique_ptr<ImageReader> reader = OpenImageFile(input);
        ImageInfo image;
        // An image whose pixels the file cuts short is the file's last: its
        // damage shows, with the row, when the page is written.
        while (reader->NextImage(image)) {
            ++pages;
            if (!reader->SkipPixels()) {
                break;
            }
        }
    }
    return streams ? 0 : pages;
}

bool PageSource::ForEachPage(const WritePage& write) const {
    if (inputs_.empty()) {
        for (const DemoPage& demo : MakeDemoPages()) {
            const ScanPage page = MapToScanPage(demo.image, mapping_);
            if (!write(page, *DemoRows(demo, page))) {
                return false;
            }
        }
        return true;
    }
    for (const std::string& input : inputs_) {
        const std::unique_ptr<ImageReader> reader = OpenImageFile(input);
        ImageInfo image;
        while (reader->NextImage(image)) {
            const ScanPage page = MapToScanPage(image, mapping_);
            reader->StartRows(page);
            if (!write(page, *reader)) {
                return false;
            }
        }
    }
    return true;
}
