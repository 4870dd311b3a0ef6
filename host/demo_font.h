// A 5 x 7 pixel font of capitals, digits and a few signs, for the demo's
// black and white page.
#pragma once

#include <cstdint>

// Seven rows of the glyph, bit 4 = leftmost pixel; a blank for unknown signs.
const uint8_t* DemoGlyph(char sign);
