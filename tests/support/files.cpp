#include "support/files.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace test_support {

const std::string& BaseTempDirectory() {
    static const std::string base = [] {
        const char* tmp = getenv("TMPDIR");
        return std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp");
    }();
    return base;
}

ScratchDirectory::ScratchDirectory(const std::string& prefix) {
    std::string pattern = (std::filesystem::path(BaseTempDirectory()) / (prefix + "XXXXXX")).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) std::abort();
    path_ = buffer.data();
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string BinDirectory() {
    const char* fromEnvironment = getenv("ZEDUZ_BIN_DIR");
    if (fromEnvironment != nullptr && *fromEnvironment != '\0') return fromEnvironment;
    std::error_code failed;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", failed);
    return failed ? "." : program.parent_path().string();
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();  // sets failbit only, where iterators over a directory would throw
    return text.str();
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    const std::string text = ReadWholeFile(path);
    return std::vector<uint8_t>(text.begin(), text.end());
}

void WriteWholeFile(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
}

}  // namespace test_support
