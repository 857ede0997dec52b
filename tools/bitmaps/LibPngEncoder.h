// The PNG files bitmap_generator writes: 8-bit RGB, no interlace, compressed by libpng.
// libpng is a native library here, so the Windows programs keep PngEncoder.h.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/bitmaps/PixelMap.h"

namespace Bitmaps {

// Each pixel of the map becomes a square of scale x scale pixels; scale is from 1 to 64.
// Throws std::invalid_argument for another scale, std::runtime_error when libpng fails.
std::vector<std::uint8_t> EncodePngWithLibpng(const PixelMap& map, int scale);

}  // namespace Bitmaps
