// Shared ground for the file-primitive tests: a scratch directory, no faults
// left over from another test, and small helpers to make and read files.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "output/file_handle.h"
#include "platform/testing.h"
#include "support/files.h"
#include "support/platform_test.h"

namespace output_test {

using platform::testing::Service;

class OutputTest : public test_support::PlatformTest {
protected:
    std::string Path(const std::string& name) const { return dir_.file(name); }

    // Bytes 0, 1, 2, ... wrapping at 251, so that a misplaced chunk shows.
    static std::vector<uint8_t> Pattern(size_t size, uint8_t seed = 0) {
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i + seed) % 251);
        return bytes;
    }
    std::string MakeFile(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::string path = Path(name);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    // A file of `size` bytes that takes no room on the disk.
    std::string MakeSparseFile(const std::string& name, uint64_t size) const {
        std::string path = MakeFile(name, {});
        EXPECT_EQ(truncate(path.c_str(), static_cast<off_t>(size)), 0);
        return path;
    }
    static std::vector<uint8_t> Contents(const std::string& path) { return test_support::ReadFileBytes(path); }
    static bool Exists(const std::string& path) { return std::filesystem::exists(path); }
    // Names in the scratch directory, to see that nothing was left behind.
    std::vector<std::string> Listing() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    test_support::ScratchDirectory dir_{"zeduz-output-"};
};

}  // namespace output_test
