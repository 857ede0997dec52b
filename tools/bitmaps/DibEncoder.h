// 24-bit device-independent bitmaps as Windows keeps them in RT_BITMAP resources and in
// .bmp files.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/bitmaps/PixelMap.h"

namespace Bitmaps {

// BITMAPINFOHEADER (40 bytes, BI_RGB, no colour table) and the rows bottom-up, each row
// blue-green-red and padded with zeros to a multiple of four bytes: what an RT_BITMAP
// resource holds.
std::vector<std::uint8_t> EncodeDib24(const PixelMap& map);

// The same behind a 14-byte BITMAPFILEHEADER: a .bmp file, from which the resource
// compiler takes the resource.
std::vector<std::uint8_t> EncodeBmpFile(const PixelMap& map);

}  // namespace Bitmaps
