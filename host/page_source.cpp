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
    for (const std::string& input : inputs_) {
        pages += static_cast<uint32_t>(ReadImageFile(input).size());
    }
    return pages;
}

bool PageSource::ForEachPage(const std::function<bool(const ScanPage&)>& write) const {
    const auto writeAll = [&](std::vector<Image> images) {
        for (Image& image : images) {
            if (!write(MapToScanPage(std::move(image), mapping_))) {
                return false;
            }
        }
        return true;
    };
    if (inputs_.empty()) {
        return writeAll(MakeDemoPages());
    }
    for (const std::string& input : inputs_) {
        if (!writeAll(ReadImageFile(input))) {
            return false;
        }
    }
    return true;
}
