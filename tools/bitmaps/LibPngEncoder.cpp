#include "tools/bitmaps/LibPngEncoder.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

#include "tools/bitmaps/LibPngHandle.h"

namespace Bitmaps {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Red, green and blue per pixel, each pixel of the map repeated scale times across and down.
std::vector<Bytes> RgbRows(const PixelMap& map, int scale) {
  const int width = map.width * scale;
  const int height = map.height * scale;
  std::vector<Bytes> rows;
  rows.reserve(static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    Bytes row;
    row.reserve(static_cast<std::size_t>(width) * 3);
    for (int x = 0; x < width; ++x) {
      const Rgb pixel = map.At(x / scale, y / scale);
      row.push_back(pixel.red);
      row.push_back(pixel.green);
      row.push_back(pixel.blue);
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

// libpng's output: the file grows in memory. No C++ exception may cross libpng's C
// frames, so a failed allocation is handed back as a libpng fault.
void Append(png_structp png, png_bytep data, png_size_t length) {
  auto* file = static_cast<Bytes*>(png_get_io_ptr(png));
  bool appended = false;
  try {
    file->insert(file->end(), data, data + length);
    appended = true;
  } catch (const std::bad_alloc&) {
  }
  if (!appended) png_error(png, "out of memory for the PNG file");
}

void Flush(png_structp) {}

// The longjmp target: only trivially destructible objects live in this frame.
bool Write(const LibPngHandle& handle, png_uint_32 width, png_uint_32 height, png_bytepp rows, Bytes* file) {
  png_structp png = handle.Png();
  if (setjmp(png_jmpbuf(png)) != 0) return false;
  png_set_write_fn(png, file, Append, Flush);
  png_set_IHDR(png, handle.Info(), width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // The pictures are small and written once per build: the smallest file is worth the time.
  png_set_compression_level(png, Z_BEST_COMPRESSION);
  png_write_info(png, handle.Info());
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

std::vector<std::uint8_t> EncodePngWithLibpng(const PixelMap& map, int scale) {
  if (scale < 1 || scale > 64) {
    throw std::invalid_argument("scale must be from 1 to 64, not " + std::to_string(scale));
  }
  std::vector<Bytes> rows = RgbRows(map, scale);
  std::vector<png_bytep> rowPointers;
  rowPointers.reserve(rows.size());
  for (Bytes& row : rows) rowPointers.push_back(row.data());

  Bytes file;
  const LibPngHandle handle(LibPngHandle::Direction::kWrite);
  if (!Write(handle, static_cast<png_uint_32>(map.width * scale), static_cast<png_uint_32>(map.height * scale),
             rowPointers.data(), &file)) {
    throw std::runtime_error("libpng: " + handle.Error());
  }
  return file;
}

}  // namespace Bitmaps
