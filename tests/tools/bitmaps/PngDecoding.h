// Reads any PNG file with libpng into 8-bit RGBA rows, so that two files are compared by
// what they show rather than by how they are compressed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DecodedPng {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  int bitDepth = 0;                // as the file's IHDR says
  int colourType = 0;              // as the file's IHDR says (2: RGB)
  std::vector<std::uint8_t> rgba;  // red, green, blue, alpha per pixel, top row first
};

// Empty when the two are the same; otherwise names the first field or pixel that differs.
std::string DifferenceBetween(const DecodedPng& actual, const DecodedPng& expected);

// Throws std::runtime_error with libpng's reason when the file cannot be read.
DecodedPng DecodePng(const std::vector<std::uint8_t>& file);
