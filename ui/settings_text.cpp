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

}  // namespace

void ComposeSettingsText(char (&text)[260], int32_t byteOrder, int32_t compression, int32_t colorCompression) {
    LoadResourceString(byteOrder == ByteOrderIntel ? IDS_SETTINGS_INTEL : IDS_SETTINGS_MOTOROLA, text, sizeof text);
    AppendString(text, compression == CompressionNone ? IDS_SETTINGS_UNCOMPRESSED : IDS_SETTINGS_GROUP4);
    if (colorCompression == CompressionLzw) AppendString(text, IDS_SETTINGS_COLOR_LZW);
    const bool jpeg = colorCompression == CompressionJpeg;
    if (colorCompression == CompressionDeflate || (jpeg && !kJpegPagesBuilt))
        AppendString(text, IDS_SETTINGS_COLOR_DEFLATE);
    if (jpeg && kJpegPagesBuilt) AppendString(text, IDS_SETTINGS_COLOR_JPEG);
}
