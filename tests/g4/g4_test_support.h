// Pages for the Group 4 and Group 3 tests and the libtiff side of the
// comparisons.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tiff/g3_encoder.h"
#include "tiff/g4_encoder.h"

// A bilevel page as the host gives it: 1 = white, rows rowBytes apart.
struct HostPage {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t rowBytes = 0;
    std::vector<uint8_t> rows;
};

// Collects code bytes in memory.
class VectorSink final : public G4CodeSink {
public:
    explicit VectorSink(std::vector<uint8_t>& out) : out_(out) {}
    PluginStatus Append(const uint8_t* bytes, uint32_t count) override {
        out_.insert(out_.end(), bytes, bytes + count);
        return StatusOk;
    }

private:
    std::vector<uint8_t>& out_;
};

using PixelIsBlack = std::function<bool(uint32_t x, uint32_t y)>;

// The page with the given pixels; the bits past the width and the extra
// bytes of each row hold `padding`, which must not matter.
HostPage MakePage(uint32_t width, uint32_t height, const PixelIsBlack& black, uint32_t extraBytes = 0,
                  uint8_t padding = 0x00);

// The rows in coder sense (1 = black), (width + 7) / 8 bytes each, bits past
// the width 0.
std::vector<uint8_t> CoderRows(const HostPage& page);

// Our strip of the page (code and end-of-block), coded as the plug-in codes
// it (Group4Coder) in bands of `bandRows` rows (0: the whole page in one
// band).
std::vector<uint8_t> OurStrip(const HostPage& page, uint32_t bandRows = 0);

// Our Group 3 strip of the page (code and the last partial byte), in bands
// of `bandRows` rows (0: the whole page in one band).
std::vector<uint8_t> OurG3Strip(const HostPage& page, const G3Coding& coding, uint32_t bandRows = 0);

// The strip's compression as libtiff is told it: Group 4, or Group 3 with
// its T4Options, in a file of the given YResolution (rows per inch).
struct FaxCompression {
    uint16_t compression;
    uint32_t t4Options;
    float yResolution;
};
inline constexpr FaxCompression kGroup4{4, 0, 300};

// libtiff's strip of coder-sense rows.
std::vector<uint8_t> LibtiffStrip(const std::vector<uint8_t>& coderRows, uint32_t width, uint32_t height,
                                  const FaxCompression& compression = kGroup4);

// A one-strip file of a strip (Photometric WhiteIsZero), written by libtiff.
bool WriteFaxFile(const std::string& path, const std::vector<uint8_t>& strip, uint32_t width, uint32_t height,
                  const FaxCompression& compression);

// libtiff's decoding of a strip into coder-sense rows; empty when it fails.
std::vector<uint8_t> LibtiffDecode(const std::vector<uint8_t>& strip, uint32_t width, uint32_t height,
                                   const FaxCompression& compression = kGroup4);

// The bits of `bytes` as a string of '0' and '1'.
std::string BitString(const std::vector<uint8_t>& bytes);
