#include "tools/bitmaps/PngEncoder.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>

#include "tools/bitmaps/ByteWriter.h"

namespace Bitmaps {
namespace {

constexpr std::size_t kLargestStoredBlock = 65535;

std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

// Filter byte 0 (none) before every row, then red, green, blue per pixel.
std::vector<std::uint8_t> Scanlines(const PixelMap& map, int scale) {
  std::vector<std::uint8_t> rows;
  for (int y = 0; y < map.height * scale; ++y) {
    rows.push_back(0);
    for (int x = 0; x < map.width * scale; ++x) {
      const Rgb pixel = map.At(x / scale, y / scale);
      rows.push_back(pixel.red);
      rows.push_back(pixel.green);
      rows.push_back(pixel.blue);
    }
  }
  return rows;
}

// A zlib stream whose deflate data are stored blocks of at most 65,535 bytes.
std::vector<std::uint8_t> StoredZlibStream(const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> stream;
  ByteWriter out(stream);
  out.U8(0x78);  // deflate, 32 KiB window
  out.U8(0x01);  // no dictionary, fastest; 0x7801 is a multiple of 31 as zlib requires
  std::size_t offset = 0;
  do {
    const std::size_t length = std::min(kLargestStoredBlock, data.size() - offset);
    const bool last = offset + length == data.size();
    out.U8(last ? 1 : 0);  // BFINAL, BTYPE 00 (stored)
    out.U16(static_cast<std::uint32_t>(length));
    out.U16(static_cast<std::uint32_t>(~length & 0xFFFF));
    stream.insert(stream.end(), data.begin() + static_cast<std::ptrdiff_t>(offset),
                  data.begin() + static_cast<std::ptrdiff_t>(offset + length));
    offset += length;
  } while (offset < data.size());
  out.U32BigEndian(Adler32(data.data(), data.size()));
  return stream;
}

void AppendChunk(std::vector<std::uint8_t>& png, const char (&type)[5], const std::vector<std::uint8_t>& content) {
  ByteWriter out(png);
  out.U32BigEndian(static_cast<std::uint32_t>(content.size()));
  const std::size_t typeStart = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), content.begin(), content.end());
  out.U32BigEndian(Crc32(png.data() + typeStart, png.size() - typeStart));
}

}  // namespace

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  static const std::array<std::uint32_t, 256> table = MakeCrcTable();
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

std::uint32_t Adler32(const std::uint8_t* data, std::size_t size) {
  constexpr std::uint32_t kModulus = 65521;
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (std::size_t i = 0; i < size; ++i) {
    a = (a + data[i]) % kModulus;
    b = (b + a) % kModulus;
  }
  return (b << 16) | a;
}

std::vector<std::uint8_t> EncodePng(const PixelMap& map, int scale) {
  if (scale < 1 || scale > 64) {
    throw std::invalid_argument("scale must be from 1 to 64, not " + std::to_string(scale));
  }
  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

  std::vector<std::uint8_t> header;
  ByteWriter out(header);
  out.U32BigEndian(static_cast<std::uint32_t>(map.width * scale));
  out.U32BigEndian(static_cast<std::uint32_t>(map.height * scale));
  out.U8(8);  // bits per sample
  out.U8(2);  // colour type: RGB
  out.U8(0);  // compression: deflate
  out.U8(0);  // filtering: adaptive (every row uses filter 0)
  out.U8(0);  // no interlace
  AppendChunk(png, "IHDR", header);
  AppendChunk(png, "IDAT", StoredZlibStream(Scanlines(map, scale)));
  AppendChunk(png, "IEND", {});
  return png;
}

}  // namespace Bitmaps
