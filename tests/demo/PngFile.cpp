#include "tests/demo/PngFile.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "tools/bitmaps/PngEncoder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

[[noreturn]] void Fail(const std::string& path, const std::string& what) {
  throw std::runtime_error(path + ": " + what);
}

std::uint32_t BigEndian32(const Bytes& bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes.at(at)) << 24 | static_cast<std::uint32_t>(bytes.at(at + 1)) << 16 |
         static_cast<std::uint32_t>(bytes.at(at + 2)) << 8 | bytes.at(at + 3);
}

// The IHDR content and the IDAT contents joined, each chunk's CRC checked.
void ReadChunks(const std::string& path, const Bytes& file, Bytes& header, Bytes& zlib) {
  const Bytes signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (file.size() < 8 || !std::equal(signature.begin(), signature.end(), file.begin())) Fail(path, "no PNG signature");
  bool ended = false;
  for (std::size_t at = 8; at < file.size() && !ended;) {
    const std::uint32_t length = BigEndian32(file, at);
    if (at + 12 + length > file.size()) Fail(path, "a chunk runs past the end");
    const std::string type(file.begin() + static_cast<long>(at) + 4, file.begin() + static_cast<long>(at) + 8);
    if (BigEndian32(file, at + 8 + length) != Bitmaps::Crc32(&file[at + 4], length + 4)) Fail(path, type + " CRC");
    const auto content = file.begin() + static_cast<long>(at) + 8;
    if (type == "IHDR") header.assign(content, content + length);
    if (type == "IDAT") zlib.insert(zlib.end(), content, content + length);
    ended = type == "IEND";
    at += 12 + length;
  }
  if (!ended) Fail(path, "no IEND");
}

Bytes InflateStored(const std::string& path, const Bytes& zlib) {
  if (zlib.size() < 2 || (zlib[0] & 0x0F) != 8 || (zlib[0] << 8 | zlib[1]) % 31 != 0) Fail(path, "zlib header");
  Bytes data;
  std::size_t at = 2;
  for (bool last = false; !last;) {
    if (at + 5 > zlib.size()) Fail(path, "deflate data cut short");
    last = (zlib[at] & 1) != 0;
    if ((zlib[at] & 6) != 0) Fail(path, "a compressed deflate block (only stored ones are read here)");
    const unsigned length = zlib[at + 1] | zlib[at + 2] << 8;
    if ((length ^ (zlib[at + 3] | zlib[at + 4] << 8)) != 0xFFFF) Fail(path, "stored block length check");
    if (at + 5 + length > zlib.size()) Fail(path, "stored block runs past the end");
    data.insert(data.end(), zlib.begin() + static_cast<long>(at) + 5,
                zlib.begin() + static_cast<long>(at + 5 + length));
    at += 5 + length;
  }
  if (at + 4 != zlib.size() || BigEndian32(zlib, at) != Bitmaps::Adler32(data.data(), data.size())) {
    Fail(path, "Adler-32");
  }
  return data;
}

}  // namespace

PngImage ReadStoredPng(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail(path, "cannot be opened");
  const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Bytes header;
  Bytes zlib;
  ReadChunks(path, file, header, zlib);
  if (header.size() != 13) Fail(path, "no IHDR");
  if (header[8] != 8 || header[9] != 2 || header[12] != 0) Fail(path, "not 8-bit RGB without interlace");

  PngImage image;
  image.width = BigEndian32(header, 0);
  image.height = BigEndian32(header, 4);
  const Bytes rows = InflateStored(path, zlib);
  const std::size_t rowBytes = 1 + 3 * static_cast<std::size_t>(image.width);
  if (rows.size() != rowBytes * image.height) Fail(path, "image data of the wrong size");
  for (std::size_t y = 0; y < image.height; ++y) {
    const std::uint8_t* row = &rows[y * rowBytes];
    if (row[0] != 0) Fail(path, "a row with a filter");
    for (std::size_t x = 0; x < image.width; ++x) {
      image.pixels.push_back(static_cast<std::uint32_t>(row[1 + 3 * x]) << 16 |
                             static_cast<std::uint32_t>(row[2 + 3 * x]) << 8 | row[3 + 3 * x]);
    }
  }
  return image;
}
