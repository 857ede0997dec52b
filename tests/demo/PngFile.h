// Reads back the PNG files the demo writes: 8-bit RGB, one zlib stream of stored
// (uncompressed) deflate blocks. Anything else is refused.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PngImage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, top row first
};

// Throws std::runtime_error naming what is wrong with the file.
PngImage ReadStoredPng(const std::string& path);
