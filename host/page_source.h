// The pages of a run: the input files in order (several images per PNM file)
// or, without inputs, the demo document. Every input file's headers are
// checked before the first page is written, so that an input the host
// cannot take never leaves half a document behind; the pixels are read once,
// row by row, while the pages are written. A stream (standard input, a FIFO)
// can be read only once: it is read in its turn, headers and pixels.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/format_mapping.h"
#include "host/page_rows.h"

// Where the pages of a job come from: files, the demo document or a scanner.
class PageSequence {
public:
    using WritePage = std::function<bool(const ScanPage&, PageRows&)>;
    virtual ~PageSequence() = default;

    // Hands each page and its rows to `write` in order; stops and returns
    // false when `write` does. Throws InputError on a source found damaged
    // while `write` reads the rows.
    virtual bool ForEachPage(const WritePage& write) const = 0;
};

class PageSource final : public PageSequence {
public:
    PageSource(std::vector<std::string> inputs, const MappingOptions& mapping);

    // Reads every image header of every input file (passing over the
    // pixels); returns the number of pages, 0 when a stream makes it
    // unknown. Throws InputError.
    uint32_t CheckAll() const;

    bool ForEachPage(const WritePage& write) const override;

private:
    std::vector<std::string> inputs_;
    MappingOptions mapping_;
};
