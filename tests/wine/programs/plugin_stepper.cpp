// Drives the plug-in one command at a time, as a host does, so that a test
// script can look at the registry, the temp directory and the files between
// any two commands. Reads one request per line on standard input and answers
// with one line:
//
//   init | prepare KIND WIDTH ROWS CONTINUE | begin | palette | band ROWS
//   | end | endjob                     -> "status N"
//   tempdir                            -> "tempdir PATH"
//   tempfiles                          -> "tempfiles NAME..." ("~TF*" names)
//   hold temp|output read|write|delete -> "held" or "hold-failed ERROR":
//        opens the page's temporary file (as "TempFile" names it) or the
//        output file from this process, sharing everything, until "release"
//   release                            -> "released"
//   quit
//
// KIND is gray8, pal8, bilevel or pal1 (a layout with no TIFF page form). Usage:
//   plugin_stepper.exe <plug-in dll> <host key path> <output path> <temp dir>
// The temp dir becomes this process's TMP and TEMP, so that the plug-in's
// temporary files land where only this test looks.
#include <algorithm>
#include <iostream>
#include <sstream>
#include <vector>

#include "wine_check.h"

using winetest::PutPointer;
namespace offsets = winetest::offsets;
using winetest::Put32;

namespace {

enum class Kind { Gray8, Palette8, Bilevel, Palette1 };

Kind KindNamed(const std::string& name) {
    if (name == "pal8") return Kind::Palette8;
    if (name == "bilevel") return Kind::Bilevel;
    if (name == "pal1") return Kind::Palette1;
    return Kind::Gray8;
}

class Stepper {
public:
    Stepper(winetest::EntryPoint entry, const std::string& hostKey, const std::string& outputPath)
        : entry_(entry), hostKey_(hostKey), outputPath_(outputPath) {
        memcpy(&request_[offsets::kStateKeyPath], hostKey.c_str(), hostKey.size());
        PutPointer(request_, offsets::kStateRoot, HKEY_CURRENT_USER);
        PutPointer(request_, offsets::kTarget, target_.data());
        memcpy(&target_[0], outputPath.c_str(), outputPath.size());
        PutPointer(target_, offsets::kTargetImage, image_.data());
    }

    std::string Handle(const std::string& line) {
        std::istringstream words(line);
        std::string verb;
        words >> verb;
        if (verb == "init") return Status(0);
        if (verb == "prepare") return Prepare(words);
        if (verb == "begin") return Begin();
        if (verb == "palette") return Palette();
        if (verb == "band") return Band(words);
        if (verb == "end") return Status(6);
        if (verb == "endjob") return Status(7);
        if (verb == "tempdir") return "tempdir " + TempDirectory();
        if (verb == "tempfiles") return TempFiles();
        if (verb == "hold") return Hold(words);
        if (verb == "release") return Release();
        return "unknown request " + verb;
    }

private:
    std::string Status(int32_t command) {
        return "status " + std::to_string(winetest::CallEntry(entry_, command, request_.data()).status);
    }

    std::string Prepare(std::istringstream& words) {
        std::string kind;
        int continueFile = 0;
        words >> kind >> width_ >> pageRows_ >> continueFile;
        kind_ = KindNamed(kind);
        bool oneBit = kind_ == Kind::Bilevel || kind_ == Kind::Palette1;
        bool palette = kind_ == Kind::Palette8 || kind_ == Kind::Palette1;
        std::fill(image_.begin(), image_.end(), 0);
        Put32(image_, 16, 1);
        Put32(image_, offsets::kImageBitsPerPixel, oneBit ? 1 : 8);
        Put32(image_, offsets::kImageColorKind, palette ? 3 : kind_ == Kind::Bilevel ? 0 : 1);
        image_[offsets::kImageContinueFile] = static_cast<uint8_t>(continueFile);
        rowsWritten_ = 0;
        return Status(2);
    }

    std::string Begin() {
        std::fill(image_.begin(), image_.end(), 0);
        Put32(image_, 0, 300);
        Put32(image_, 4, 300);
        Put32(image_, 8, width_);
        Put32(image_, 12, pageRows_);
        return Status(4);
    }

    // 256 entries of a grey-green ramp.
    std::string Palette() {
        std::fill(image_.begin(), image_.end(), 0);
        uint16_t count = 256;
        memcpy(&image_[0], &count, 2);
        for (int i = 0; i < count; ++i) {
            image_[9 + 4 * i] = static_cast<uint8_t>(i);
            image_[10 + 4 * i] = static_cast<uint8_t>(255 - i);
            image_[11 + 4 * i] = static_cast<uint8_t>(i / 2);
        }
        return Status(3);
    }

    uint32_t Stride() const {
        if (kind_ == Kind::Bilevel) return (width_ + 7) / 8 + 2;  // the host's own row pitch
        if (kind_ == Kind::Palette8) return width_;
        return (width_ * 8 + 31) / 32 * 4;
    }

    std::string Band(std::istringstream& words) {
        uint32_t rows = 0;
        words >> rows;
        pixels_.assign(static_cast<size_t>(Stride()) * rows, 0);
        for (uint32_t y = 0; y < rows; ++y)
            for (uint32_t x = 0; x < Stride(); ++x)
                pixels_[y * Stride() + x] = static_cast<uint8_t>((rowsWritten_ + y) * 31 + x * 7);
        rowsWritten_ += rows;
        std::fill(image_.begin(), image_.end(), 0);
        Put32(image_, 4, Stride());
        Put32(image_, 8, width_);
        Put32(image_, 12, rows);
        PutPointer(image_, offsets::kImagePixels, pixels_.data());
        return Status(5);
    }

    static std::string TempDirectory() {
        char path[MAX_PATH + 1] = {};
        GetTempPathA(sizeof(path), path);
        return path;
    }

    static std::string TempFiles() {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((TempDirectory() + "~TF*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do names.push_back(found.cFileName);
            while (FindNextFileA(search, &found));
            FindClose(search);
        }
        std::sort(names.begin(), names.end());
        std::string answer = "tempfiles";
        for (const std::string& name : names) answer += " " + name;
        return answer;
    }

    std::string Hold(std::istringstream& words) {
        std::string which, access;
        words >> which >> access;
        std::string path = outputPath_;
        if (which == "temp" && !winetest::ReadString(hostKey_, "TempFile", &path)) return "hold-failed no TempFile";
        DWORD rights = access == "write" ? GENERIC_WRITE : access == "delete" ? DELETE : GENERIC_READ;
        Release();
        held_ = CreateFileA(path.c_str(), rights, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (held_ == INVALID_HANDLE_VALUE) return "hold-failed " + std::to_string(GetLastError());
        return "held";
    }

    std::string Release() {
        if (held_ != INVALID_HANDLE_VALUE) CloseHandle(held_);
        held_ = INVALID_HANDLE_VALUE;
        return "released";
    }

    winetest::EntryPoint entry_;
    std::string hostKey_;
    std::string outputPath_;
    std::vector<uint8_t> request_ = std::vector<uint8_t>(1024, 0);
    std::vector<uint8_t> target_ = std::vector<uint8_t>(512, 0);
    std::vector<uint8_t> image_ = std::vector<uint8_t>(2048, 0);
    std::vector<uint8_t> pixels_;
    Kind kind_ = Kind::Gray8;
    uint32_t width_ = 0;
    uint32_t pageRows_ = 0;
    uint32_t rowsWritten_ = 0;
    HANDLE held_ = INVALID_HANDLE_VALUE;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: plugin_stepper <plug-in dll> <host key path> <output path> <temp dir>\n");
        return 2;
    }
    SetEnvironmentVariableA("TMP", argv[4]);
    SetEnvironmentVariableA("TEMP", argv[4]);
    Stepper stepper(winetest::LoadEntry(argv[1]), argv[2], argv[3]);
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == "quit") break;
        std::cout << stepper.Handle(line) << std::endl;
    }
    return 0;
}
