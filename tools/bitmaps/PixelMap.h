// A picture written as text: a legend that gives each character a colour, then one line
// of characters per pixel row, top row first. Comment lines start with ';'.
//
//   size 3 2
//   colour . 251 251 251 background
//   colour O 85 85 85 outline
//   pixels
//   O.O
//   OOO
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Bitmaps {

struct Rgb {
  std::uint8_t red;
  std::uint8_t green;
  std::uint8_t blue;
  bool operator==(const Rgb& other) const { return red == other.red && green == other.green && blue == other.blue; }
  bool operator!=(const Rgb& other) const { return !(*this == other); }
};

struct PixelMap {
  int width = 0;
  int height = 0;
  std::vector<Rgb> pixels;  // row by row, top row first

  Rgb At(int x, int y) const { return pixels.at(static_cast<size_t>(y * width + x)); }
};

// Throws std::runtime_error naming the line of the first fault.
PixelMap ParsePixelMap(const std::string& text);

}  // namespace Bitmaps
