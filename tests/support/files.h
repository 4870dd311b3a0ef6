// Files and directories of the test programs: scratch directories, where the
// built libraries lie, whole-file reads and writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace test_support {

// The temp directory the test program started with (tests point TMPDIR at
// their own scratch directories).
const std::string& BaseTempDirectory();

// A fresh directory below the system temp dir, removed with the object.
class ScratchDirectory {
public:
    explicit ScratchDirectory(const std::string& prefix);
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Where the built libraries lie: $ZEDUZ_BIN_DIR, else beside this program.
std::string BinDirectory();

// A file's bytes; empty when it cannot be read (missing, a directory).
std::string ReadWholeFile(const std::string& path);
std::vector<uint8_t> ReadFileBytes(const std::string& path);

void WriteWholeFile(const std::string& path, const std::string& contents);

}  // namespace test_support
