#include "host/input_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "host/image.h"

namespace {

constexpr size_t kBufferSize = 1 << 16;

// Moves `count` bytes ahead; false where the stream cannot seek.
bool SeekAhead(FILE* file, uint64_t count) {
#ifdef _WIN32
    return _fseeki64(file, static_cast<__int64>(count), SEEK_CUR) == 0;
#else
    return fseeko(file, static_cast<off_t>(count), SEEK_CUR) == 0;
#endif
}

uint64_t Tell(FILE* file) {
#ifdef _WIN32
    return static_cast<uint64_t>(_ftelli64(file));
#else
    return static_cast<uint64_t>(ftello(file));
#endif
}

bool SeekTo(FILE* file, uint64_t offset) {
#ifdef _WIN32
    return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

// The bytes from the current position to the end; false where unknown.
bool RemainingBytes(FILE* file, uint64_t& remaining) {
    const uint64_t here = Tell(file);
    if (here == UINT64_MAX || std::fseek(file, 0, SEEK_END) != 0) {
        return false;
    }
    const uint64_t end = Tell(file);
    if (!SeekTo(file, here) || end == UINT64_MAX || end < here) {
        return false;
    }
    remaining = end - here;
    return true;
}

}  // namespace

bool IsStreamInput(const std::string& path) {
    struct stat info {};
    return path == kStandardInput ||
           (stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode));
}

InputFile::InputFile(const std::string& path) : path_(path), buffer_(kBufferSize) {
    if (path == kStandardInput) {
        path_ = "standard input";
        file_ = stdin;
        ownsFile_ = false;
#ifdef _WIN32
        _setmode(_fileno(stdin), _O_BINARY);
#endif
        return;
    }
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        throw InputError(path + ": is a folder, not an image file");
    }
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) {
        throw InputError(path + ": cannot open: " + std::strerror(errno));
    }
}

InputFile::~InputFile() {
    if (ownsFile_) {
        std::fclose(file_);
    }
}

bool InputFile::StartsWith(const char* bytes, size_t count) {
    if (end_ == 0) {
        Refill();
    }
    return end_ - pos_ >= count && std::memcmp(buffer_.data() + pos_, bytes, count) == 0;
}

void InputFile::CheckReadError() const {
    if (std::ferror(file_)) {
        throw InputError(path_ + ": read error");
    }
}

bool InputFile::Refill() {
    pos_ = 0;
    end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    CheckReadError();
    return end_ > 0;
}

size_t InputFile::Read(uint8_t* out, size_t count) {
    const size_t buffered = std::min(count, end_ - pos_);
    std::memcpy(out, buffer_.data() + pos_, buffered);
    pos_ += buffered;
    if (buffered == count) {
        return count;
    }
    // Large reads bypass the buffer.
    const size_t rest = count - buffered;
    if (rest >= buffer_.size()) {
        const size_t got = std::fread(out + buffered, 1, rest, file_);
        CheckReadError();
        return buffered + got;
    }
    if (!Refill()) {
        return buffered;
    }
    return buffered + Read(out + buffered, rest);
}

bool InputFile::Skip(uint64_t count) {
    const size_t buffered = static_cast<size_t>(std::min<uint64_t>(count, end_ - pos_));
    pos_ += buffered;
    count -= buffered;
    if (count == 0) {
        return true;
    }
    uint64_t remaining = 0;
    if (RemainingBytes(file_, remaining)) {
        if (remaining < count) {
            return false;
        }
        return SeekAhead(file_, count);
    }
    // A stream that cannot seek is read through.
    while (count > 0) {
        if (!Refill()) {
            return false;
        }
        pos_ = static_cast<size_t>(std::min<uint64_t>(count, end_));
        count -= pos_;
    }
    return true;
}
