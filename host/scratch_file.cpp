#include "host/scratch_file.h"

// Interlaced PNG input, the one user of scratch files, is read on Linux only.
#ifndef _WIN32

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "host/image.h"
#include "platform/win32.h"

namespace {

std::string TempFolder() {
    char folder[MAX_PATH] = {};
    const DWORD length = GetTempPathA(sizeof folder, folder);
    return length == 0 || length >= sizeof folder ? std::string("/tmp/") : std::string(folder, length);
}

}  // namespace

ScratchFile::ScratchFile(const std::string& label, uint64_t size) : label_(label), folder_(TempFolder()) {
    std::string pattern = folder_ + (folder_.back() == '/' ? "" : "/") + "~zeduz-scratch-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    descriptor_ = mkostemp(name.data(), O_CLOEXEC);
    if (descriptor_ < 0) {
        Fail("cannot make a scratch file");
    }
    unlink(name.data());
    if (ftruncate(descriptor_, static_cast<off_t>(size)) != 0) {
        Fail("cannot make a scratch file of " + std::to_string(size) + " bytes");
    }
}

ScratchFile::~ScratchFile() {
    if (descriptor_ >= 0) {
        close(descriptor_);
    }
}

void ScratchFile::Fail(const std::string& what) const {
    throw InputError(label_ + ": " + what + " for the interlaced image in the temp folder " + folder_ + ": " +
                     std::strerror(errno));
}

void ScratchFile::Write(uint64_t offset, const uint8_t* data, size_t count) {
    while (count > 0) {
        const ssize_t done = pwrite(descriptor_, data, count, static_cast<off_t>(offset));
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            Fail("cannot write the scratch file");
        }
        data += done;
        offset += static_cast<uint64_t>(done);
        count -= static_cast<size_t>(done);
    }
}

void ScratchFile::Read(uint64_t offset, uint8_t* data, size_t count) {
    while (count > 0) {
        const ssize_t done = pread(descriptor_, data, count, static_cast<off_t>(offset));
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            errno = done == 0 ? EIO : errno;
            Fail("cannot read the scratch file");
        }
        data += done;
        offset += static_cast<uint64_t>(done);
        count -= static_cast<size_t>(done);
    }
}

#endif
