#include "ui/settings_text.h"

#include <cstring>

#include "base/setting_values.h"
#include "resources/resource_ids.h"
#include "ui/resource_strings.h"

namespace {

// Length of the longest prefix of `text` of at most `room` bytes that ends on
// a character boundary of the ANSI code page.
size_t FittingPrefix(const char* text, size_t room) {
    size_t length = 0;
    while (text[length] != '\0') {
        size_t step = 1;
        if (IsDBCSLeadByte(static_cast<BYTE>(text[length])) && text[length + 1] != '\0') step = 2;
        if (length + step > room) break;
        length += step;
    }
    return length;
}

// Appends as much of the string as fits before the text's terminator.
void AppendString(char (&text)[260], UINT id) {
    char part[128];
    LoadResourceString(id, part, sizeof part);
    const size_t used = std::strlen(text);
    const size_t take = FittingPrefix(part, sizeof text - 1 - used);
    std::memcpy(text + used, part, take);
    text[used + take] = '\0';
}

// Any value without a text of its own reads as Group 4, as it always has.
UINT BilevelCompressionText(int32_t compression) {
    switch (compression) {
        case CompressionNone: return IDS_SETTINGS_UNCOMPRESSED;
        case CompressionGroup3OneD: return IDS_SETTINGS_GROUP3_1D;
        case CompressionGroup3TwoD: return IDS_SETTINGS_GROUP3_2D;
        case CompressionPackBits: return IDS_SETTINGS_PACKBITS;
        default: return IDS_SETTINGS_GROUP4;
    }
}

}  // namespace

void ComposeSettingsText(char (&text)[260], int32_t byteOrder, int32_t compression, int32_t colorCompression) {
    LoadResourceString(byteOrder == ByteOrderIntel ? IDS_SETTINGS_INTEL : IDS_SETTINGS_MOTOROLA, text, sizeof text);
    AppendString(text, BilevelCompressionText(compression));
    if (colorCompression == CompressionLzw) AppendString(text, IDS_SETTINGS_COLOR_LZW);
    const bool jpeg = colorCompression == CompressionJpeg;
    if (colorCompression == CompressionDeflate || (jpeg && !kJpegPagesBuilt))
        AppendString(text, IDS_SETTINGS_COLOR_DEFLATE);
    if (jpeg && kJpegPagesBuilt) AppendString(text, IDS_SETTINGS_COLOR_JPEG);
    if (colorCompression == CompressionPackBits) AppendString(text, IDS_SETTINGS_COLOR_PACKBITS);
}
