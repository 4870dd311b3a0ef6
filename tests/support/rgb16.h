// Decoded pixels as the tests compare them: R, G, B of 16 bits each,
// big-endian.
#pragma once

#include <cstdint>
#include <vector>

namespace test_support {

inline void PutRgb16(std::vector<uint8_t>& out, uint16_t r, uint16_t g, uint16_t b) {
    for (uint16_t v : {r, g, b}) {
        out.push_back(static_cast<uint8_t>(v >> 8));
        out.push_back(static_cast<uint8_t>(v));
    }
}

}  // namespace test_support
