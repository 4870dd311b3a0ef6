// A file read front to back through a buffer of its own: headers byte by
// byte, pixels row by row, never more than the buffer in memory. Offsets are
// 64-bit on every platform, so that files of several pages may pass 2 GiB.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// "-" names standard input.
constexpr char kStandardInput[] = "-";

// Whether `path` is read as a stream: standard input, a FIFO, a device. A
// stream can be read once only, so its headers are not looked at before
// its turn comes.
bool IsStreamInput(const std::string& path);

class InputFile {
public:
    // Throws InputError when the file cannot be opened or is a folder.
    explicit InputFile(const std::string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    const std::string& Path() const { return path_; }

    // Whether the file starts with these bytes; asked before anything is read.
    bool StartsWith(const char* bytes, size_t count);

    // The next byte, or -1 at the end of the file.
    int Peek() { return (pos_ < end_ || Refill()) ? buffer_[pos_] : -1; }
    int Get() { return (pos_ < end_ || Refill()) ? buffer_[pos_++] : -1; }

    // Reads up to `count` bytes; fewer only at the end of the file.
    size_t Read(uint8_t* out, size_t count);

    // Passes over `count` bytes; false when the file ends within them.
    bool Skip(uint64_t count);

private:
    bool Refill();  // false at the end of the file; throws InputError on a read error
    void CheckReadError() const;

    std::string path_;  // "standard input" for "-"
    FILE* file_ = nullptr;
    bool ownsFile_ = true;
    std::vector<uint8_t> buffer_;
    size_t pos_ = 0;
    size_t end_ = 0;
};
