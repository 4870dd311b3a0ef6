#include "host/image.h"

void CheckImageSize(uint32_t width, uint32_t height, int channels, const std::string& label) {
    if (width == 0 || height == 0) {
        throw InputError(label + ": image has no pixels (" + std::to_string(width) + " x " +
                         std::to_string(height) + ")");
    }
    const uint64_t samples = static_cast<uint64_t>(width) * height * channels;
    if (width > kMaxImageSide || height > kMaxImageSide || samples > kMaxImageSamples) {
        throw InputError(label + ": image of " + std::to_string(width) + " x " + std::to_string(height) +
                         " pixels is too large");
    }
}
