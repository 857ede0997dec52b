#include "tools/demo/Screenshot.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

#include "tools/bitmaps/PngEncoder.h"

namespace {

constexpr int kLargestEnlargement = 4;
constexpr int kLongestSide = 800;

Bitmaps::PixelMap ToPixelMap(const nphost::Pixels& pixels) {
  Bitmaps::PixelMap map;
  map.width = pixels.width;
  map.height = pixels.height;
  map.pixels.reserve(pixels.rows.size());
  for (const std::uint32_t pixel : pixels.rows) {
    map.pixels.push_back(Bitmaps::Rgb{static_cast<std::uint8_t>(pixel >> 16), static_cast<std::uint8_t>(pixel >> 8),
                                      static_cast<std::uint8_t>(pixel)});
  }
  return map;
}

}  // namespace

int EnlargementFor(int width, int height) {
  const int longer = std::max({width, height, 1});
  return std::clamp(kLongestSide / longer, 1, kLargestEnlargement);
}

void SavePng(const nphost::Pixels& pixels, int enlargement, const std::string& path) {
  if (pixels.width <= 0 || pixels.height <= 0) throw std::runtime_error("no pixels to save for " + path);
  const std::vector<std::uint8_t> png = Bitmaps::EncodePng(ToPixelMap(pixels), enlargement);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  file.close();
  if (!file) throw std::runtime_error("cannot write " + path);
}
