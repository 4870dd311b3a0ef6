#include "host/image.h"

InputError RowError(const ImageInfo& image, uint32_t row, const std::string& what) {
    return InputError(image.label + ": " + what + " at row " + std::to_string(row + 1) + " of " +
                      std::to_string(image.height));
}

void CheckImageSize(uint32_t width, uint32_t height, int channels, int bits, const std::string& label) {
    if (width == 0 || height == 0) {
        throw InputError(label + ": image has no pixels (" + std::to_string(width) + " x " + std::to_string(height) +
                         ")");
    }
    const uint64_t rowBytes = (static_cast<uint64_t>(width) * channels * bits + 7) / 8;
    if (width > kMaxImageSide || height > kMaxImageSide || rowBytes * height >= kMaxPageBytes) {
        throw InputError(label + ": image of " + std::to_string(width) + " x " + std::to_string(height) +
                         " pixels is too large");
    }
}
