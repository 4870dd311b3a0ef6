#include "host/job_key.h"

#include "host/settings.h"

uint64_t Fnv1a64(const std::string& text) {
    uint64_t hash = 14695981039346656037ull;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

std::string OutputHashText(const std::string& canonicalOutput) {
    static const char kDigits[] = "0123456789abcdef";
    const uint64_t hash = Fnv1a64(canonicalOutput);
    std::string text(16, '0');
    for (int i = 0; i < 16; ++i) {
        text[15 - i] = kDigits[(hash >> (4 * i)) & 0xF];
    }
    return text;
}

std::string JobKeyPath(const std::string& canonicalOutput) {
    return std::string(kStateKeyPath) + "\\Jobs\\" + OutputHashText(canonicalOutput);
}
