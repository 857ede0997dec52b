#include "tests/tools/bitmaps/PngDecoding.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <stdexcept>

#include "tools/bitmaps/LibPngHandle.h"

namespace {

using Bitmaps::LibPngHandle;

struct Source {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
  auto* source = static_cast<Source*>(png_get_io_ptr(png));
  if (length > source->size - source->at) png_error(png, "the file ends early");
  std::memcpy(out, source->data + source->at, length);
  source->at += length;
}

// Reads up to the image data and asks for 8-bit RGBA rows whatever the file holds.
// A longjmp target: only trivially destructible objects live in this frame.
bool ReadHeader(const LibPngHandle& handle, Source* source, DecodedPng* png, png_size_t* rowBytes) {
  png_structp read = handle.Png();
  png_infop info = handle.Info();
  if (setjmp(png_jmpbuf(read)) != 0) return false;
  png_set_read_fn(read, source, ReadFromMemory);
  png_read_info(read, info);
  png->width = png_get_image_width(read, info);
  png->height = png_get_image_height(read, info);
  png->bitDepth = png_get_bit_depth(read, info);
  png->colourType = png_get_color_type(read, info);
  png_set_expand(read);
  png_set_scale_16(read);
  png_set_gray_to_rgb(read);
  png_set_add_alpha(read, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(read);
  png_read_update_info(read, info);
  *rowBytes = png_get_rowbytes(read, info);
  return true;
}

// A longjmp target like ReadHeader.
bool ReadRows(const LibPngHandle& handle, png_bytepp rows) {
  png_structp read = handle.Png();
  if (setjmp(png_jmpbuf(read)) != 0) return false;
  png_read_image(read, rows);
  png_read_end(read, nullptr);
  return true;
}

}  // namespace

std::string DifferenceBetween(const DecodedPng& actual, const DecodedPng& expected) {
  const auto field = [](const char* name, auto a, auto e) {
    return std::string(name) + " " + std::to_string(a) + ", expected " + std::to_string(e);
  };
  if (actual.width != expected.width) return field("width", actual.width, expected.width);
  if (actual.height != expected.height) return field("height", actual.height, expected.height);
  if (actual.bitDepth != expected.bitDepth) return field("bit depth", actual.bitDepth, expected.bitDepth);
  if (actual.colourType != expected.colourType) return field("colour type", actual.colourType, expected.colourType);
  const auto [a, e] = std::mismatch(actual.rgba.begin(), actual.rgba.end(), expected.rgba.begin(), expected.rgba.end());
  if (a == actual.rgba.end() && e == expected.rgba.end()) return "";
  const auto pixel = static_cast<std::size_t>(a - actual.rgba.begin()) / 4;
  return "pixel (" + std::to_string(pixel % actual.width) + ", " + std::to_string(pixel / actual.width) +
         ") differs in its RGBA samples";
}

DecodedPng DecodePng(const std::vector<std::uint8_t>& file) {
  const LibPngHandle handle(LibPngHandle::Direction::kRead);
  Source source{file.data(), file.size(), 0};
  DecodedPng png;
  png_size_t rowBytes = 0;
  if (!ReadHeader(handle, &source, &png, &rowBytes)) throw std::runtime_error("libpng: " + handle.Error());
  if (rowBytes != 4 * static_cast<png_size_t>(png.width)) throw std::runtime_error("rows are not RGBA");

  png.rgba.resize(rowBytes * png.height);
  std::vector<png_bytep> rows;
  for (std::size_t y = 0; y < png.height; ++y) rows.push_back(&png.rgba[y * rowBytes]);
  if (!ReadRows(handle, rows.data())) throw std::runtime_error("libpng: " + handle.Error());
  return png;
}
