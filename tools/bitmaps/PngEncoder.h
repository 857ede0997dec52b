// The Windows programs' PNG writer (the demo's screenshots): 8-bit RGB, no interlace, the
// image data in stored (uncompressed) deflate blocks, so that no compression library has
// to be cross-built for them. bitmap_generator, a native program, uses libpng instead
// (LibPngEncoder.h).
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
