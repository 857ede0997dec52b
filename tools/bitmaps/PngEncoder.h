// A minimal PNG writer for looking at the status pictures: 8-bit RGB, no interlace, the
// image data in stored (uncompressed) deflate blocks, so no compression library is needed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/bitmaps/PixelMap.h"

namespace Bitmaps {

// Each pixel of the map becomes a square of scale x scale pixels.
std::vector<std::uint8_t> EncodePng(const PixelMap& map, int scale);

// The checksums PNG needs: CRC-32 of its chunks and Adler-32 of its zlib stream.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size);
std::uint32_t Adler32(const std::uint8_t* data, std::size_t size);

}  // namespace Bitmaps
