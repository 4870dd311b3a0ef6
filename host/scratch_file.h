// A scratch file in the temp folder for what a reader must hold but memory
// need not: the rows of an interlaced PNG while its passes are combined. It
// has no name from the start (it is unlinked as soon as it is made), so that
// nothing is left behind, whatever ends the process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class ScratchFile {
public:
    // `label`: the input it holds rows of, for messages. Throws InputError
    // when the file cannot be made or is refused `size` bytes.
    ScratchFile(const std::string& label, uint64_t size);
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // Throw InputError naming the folder when the disk refuses.
    void Write(uint64_t offset, const uint8_t* data, size_t count);
    void Read(uint64_t offset, uint8_t* data, size_t count);

private:
    [[noreturn]] void Fail(const std::string& what) const;

    std::string label_;
    std::string folder_;
    int descriptor_ = -1;
};
