// The pages of a run: the input files in order (several images per PNM file)
// or, without inputs, the demo document. Inputs are checked in full before
// the first page is written, so that a bad input never leaves half a
// document behind, but only one file's images are held at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/format_mapping.h"

class PageSource {
public:
    PageSource(std::vector<std::string> inputs, const MappingOptions& mapping);

    // Reads every input once; returns the number of pages. Throws InputError.
    uint32_t CheckAll() const;

    // Hands each page to `write` in order; stops and returns false when
    // `write` does. Throws InputError when an input changed since CheckAll.
    bool ForEachPage(const std::function<bool(const ScanPage&)>& write) const;

private:
    std::vector<std::string> inputs_;
    MappingOptions mapping_;
};
