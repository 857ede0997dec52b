#include "tools/bitmaps/DibEncoder.h"

#include "tools/bitmaps/ByteWriter.h"

namespace Bitmaps {
namespace {

constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kFileHeaderSize = 14;

std::uint32_t RowSize(const PixelMap& map) { return (static_cast<std::uint32_t>(map.width) * 3 + 3) / 4 * 4; }

std::uint32_t PixelBytes(const PixelMap& map) { return RowSize(map) * static_cast<std::uint32_t>(map.height); }

}  // namespace

std::vector<std::uint8_t> EncodeDib24(const PixelMap& map) {
  std::vector<std::uint8_t> dib;
  ByteWriter out(dib);
  out.U32(kInfoHeaderSize);
  out.U32(static_cast<std::uint32_t>(map.width));
  out.U32(static_cast<std::uint32_t>(map.height));  // positive: bottom row first
  out.U16(1);                                       // planes
  out.U16(24);                                      // bits per pixel
  out.U32(0);                                       // BI_RGB
  out.U32(PixelBytes(map));
  out.U32(0);  // pixels per metre, x
  out.U32(0);  // pixels per metre, y
  out.U32(0);  // colours used
  out.U32(0);  // colours important

  const std::uint32_t padding = RowSize(map) - static_cast<std::uint32_t>(map.width) * 3;
  for (int y = map.height - 1; y >= 0; --y) {
    for (int x = 0; x < map.width; ++x) {
      const Rgb pixel = map.At(x, y);
      out.U8(pixel.blue);
      out.U8(pixel.green);
      out.U8(pixel.red);
    }
    for (std::uint32_t i = 0; i < padding; ++i) out.U8(0);
  }
  return dib;
}

std::vector<std::uint8_t> EncodeBmpFile(const PixelMap& map) {
  const std::vector<std::uint8_t> dib = EncodeDib24(map);
  std::vector<std::uint8_t> file;
  ByteWriter out(file);
  out.U8('B');
  out.U8('M');
  out.U32(kFileHeaderSize + static_cast<std::uint32_t>(dib.size()));
  out.U32(0);                                  // reserved
  out.U32(kFileHeaderSize + kInfoHeaderSize);  // where the pixels start
  file.insert(file.end(), dib.begin(), dib.end());
  return file;
}

}  // namespace Bitmaps
