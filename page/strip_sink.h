// The page file as the sink of its strip's code: appends at the file's
// position and, for a strip sized by its code, adds the bytes to the strip's
// count. A strip that would reach 4,294,967,295 bytes is refused with
// StatusWriteFailed before anything is written.
#pragma once

#include <cstdint>

#include "output/file_handle.h"
#include "tiff/code_sink.h"

class StripSink final : public CodeSink {
public:
    // `stripBytes`: the count to add to, or null for a strip of rows.
    StripSink(FileHandle& file, uint32_t* stripBytes) : file_(file), stripBytes_(stripBytes) {}
    // A sink that first goes to the end of the file, when it gets bytes at all.
    static StripSink AtEnd(FileHandle& file) {
        StripSink sink(file, nullptr);
        sink.seekPending_ = true;
        return sink;
    }
    PluginStatus Append(const uint8_t* bytes, uint32_t count) override;

private:
    FileHandle& file_;
    uint32_t* stripBytes_;
    bool seekPending_ = false;
};
