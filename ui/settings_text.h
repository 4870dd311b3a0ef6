// The one-line summary of the user's settings given to the host.
#pragma once

#include <cstdint>

#include "base/setting_values.h"

// text := string 2505 (byte order ByteOrderIntel) or 2506 (any other), directly
// followed by string 2507 (compression 1) or 2508 (any other), then by string
// 2509 (colorCompression LZW), 2510 (Deflate, or JPEG in a build without
// it) or 2511 (JPEG), nothing for any other; cut to
// fit.
void ComposeSettingsText(char (&text)[260], int32_t byteOrder, int32_t compression,
                         int32_t colorCompression = CompressionNone);
