// bitmap_generator writes its PNG files with libpng; until then it wrote them with the
// stored encoder the Windows programs still use. Both must show the same pixels.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/tools/bitmaps/PngDecoding.h"
#include "tools/bitmaps/LibPngEncoder.h"
#include "tools/bitmaps/PixelMap.h"
#include "tools/bitmaps/PngEncoder.h"

namespace {

using Bitmaps::PixelMap;
using Bytes = std::vector<std::uint8_t>;

std::string ReadSourceFile(const std::string& relativePath) {
  const std::string path = std::string(SOURCE_ROOT) + "/" + relativePath;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Odd sizes, so that no row lines up with anything, and colours that differ in each sample.
const char kThreeByTwo[] =
    "size 3 2\n"
    "colour r 255 0 0\n"
    "colour g 0 255 0\n"
    "colour b 0 0 255\n"
    "colour k 1 2 3\n"
    "pixels\n"
    "rgb\n"
    "kbr\n";

// Scale 1 is what the extension embeds, 8 the build's previews.
TEST(LibPngEncoder, ShowsTheSamePixelsAsTheStoredEncoder) {
  struct Case {
    const char* what;
    std::string map;
    int scale;
  };
  const Case cases[] = {
      {"status_idle", ReadSourceFile("res/status_idle.txt"), 1},
      {"status_idle", ReadSourceFile("res/status_idle.txt"), 8},
      {"status_listening", ReadSourceFile("res/status_listening.txt"), 1},
      {"status_listening", ReadSourceFile("res/status_listening.txt"), 8},
      {"three by two", kThreeByTwo, 1},
      {"three by two", kThreeByTwo, 64},
  };
  for (const Case& c : cases) {
    const PixelMap map = Bitmaps::ParsePixelMap(c.map);
    const DecodedPng stored = DecodePng(Bitmaps::EncodePng(map, c.scale));
    const DecodedPng compressed = DecodePng(Bitmaps::EncodePngWithLibpng(map, c.scale));
    EXPECT_EQ(DifferenceBetween(compressed, stored), "") << c.what << " at scale " << c.scale;
  }
}

TEST(LibPngEncoder, WritesEightBitRgbWithEachPixelEnlargedIntoASquare) {
  const DecodedPng png = DecodePng(Bitmaps::EncodePngWithLibpng(Bitmaps::ParsePixelMap(kThreeByTwo), 2));
  EXPECT_EQ(png.width, 6u);
  EXPECT_EQ(png.height, 4u);
  EXPECT_EQ(png.bitDepth, 8);
  EXPECT_EQ(png.colourType, 2);  // RGB, no alpha and no palette

  const Bytes red = {255, 0, 0, 255};
  const Bytes green = {0, 255, 0, 255};
  const Bytes blue = {0, 0, 255, 255};
  const Bytes almostBlack = {1, 2, 3, 255};
  const std::vector<const Bytes*> top = {&red, &red, &green, &green, &blue, &blue};
  const std::vector<const Bytes*> bottom = {&almostBlack, &almostBlack, &blue, &blue, &red, &red};
  Bytes expected;
  for (const auto* row : {&top, &top, &bottom, &bottom}) {
    for (const Bytes* pixel : *row) expected.insert(expected.end(), pixel->begin(), pixel->end());
  }
  EXPECT_EQ(png.rgba, expected);
}

// The point of libpng here: the previews shrink from stored rows to compressed ones.
TEST(LibPngEncoder, CompressesThePreviews) {
  const PixelMap idle = Bitmaps::ParsePixelMap(ReadSourceFile("res/status_idle.txt"));
  EXPECT_LT(Bitmaps::EncodePngWithLibpng(idle, 8).size() * 10, Bitmaps::EncodePng(idle, 8).size());
}

TEST(LibPngEncoder, RefusesScalesOutsideOneTo64) {
  const PixelMap map = Bitmaps::ParsePixelMap(kThreeByTwo);
  for (const int scale : {-1, 0, 65}) {
    EXPECT_THROW(Bitmaps::EncodePngWithLibpng(map, scale), std::invalid_argument) << scale;
  }
}

// The reader the comparisons rest on must refuse a damaged file, not decode garbage.
TEST(PngDecoding, RefusesAFileCutShortOrWithABadChecksum) {
  const Bytes whole = Bitmaps::EncodePngWithLibpng(Bitmaps::ParsePixelMap(kThreeByTwo), 4);
  ASSERT_NO_THROW(DecodePng(whole));

  Bytes badCrc = whole;
  badCrc[8 + 8 + 13] ^= 0x01;  // the IHDR's CRC: signature, length and type, then 13 bytes
  struct Damaged {
    const char* what;
    Bytes file;
  };
  const Damaged cases[] = {{"cut short", Bytes(whole.begin(), whole.end() - 20)}, {"IHDR CRC", badCrc}};
  for (const Damaged& c : cases) EXPECT_THROW(DecodePng(c.file), std::runtime_error) << c.what;
}

}  // namespace
