// The output file, open in the page writer's FileHandle, as the directory
// chain walker (tiff/page_chain.h) reads it.
#pragma once

#include <cstdint>

#include "output/file_handle.h"
#include "tiff/page_chain.h"

class FileChainReader final : public ChainReader {
public:
    explicit FileChainReader(FileHandle& file) : file_(file) {}

    uint64_t Size() override { return file_.Size64(); }
    PluginStatus ReadAt(uint64_t position, uint32_t count, uint8_t* bytes) override {
        return file_.ReadAt(position, count, bytes);
    }

private:
    FileHandle& file_;
};
