#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/bitmaps/DibEncoder.h"
#include "tools/bitmaps/PixelMap.h"
#include "tools/bitmaps/PngEncoder.h"

namespace {

using Bitmaps::PixelMap;
using Bitmaps::Rgb;
using Bytes = std::vector<std::uint8_t>;

Bytes BytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

std::string ReadSourceFile(const std::string& relativePath) {
  const std::string path = std::string(SOURCE_ROOT) + "/" + relativePath;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t BigEndian32(const Bytes& bytes, size_t at) {
  return static_cast<std::uint32_t>(bytes.at(at)) << 24 | static_cast<std::uint32_t>(bytes.at(at + 1)) << 16 |
         static_cast<std::uint32_t>(bytes.at(at + 2)) << 8 | bytes.at(at + 3);
}

std::uint32_t LittleEndian32(const Bytes& bytes, size_t at) {
  return static_cast<std::uint32_t>(bytes.at(at)) | static_cast<std::uint32_t>(bytes.at(at + 1)) << 8 |
         static_cast<std::uint32_t>(bytes.at(at + 2)) << 16 | static_cast<std::uint32_t>(bytes.at(at + 3)) << 24;
}

// A 2 x 2 picture: its rows need one byte of padding each (6 bytes of pixels, not 8).
const char kTwoByTwo[] =
    "; test picture\n"
    "size 2 2\n"
    "colour r 255 0 0 red\n"
    "colour g 0 255 0 green\n"
    "colour b 0 0 255 blue\n"
    "colour k 1 2 3 almost black\n"
    "pixels\n"
    "rg\n"
    "bk\n";

TEST(Checksums, MatchPublishedCheckValues) {
  const Bytes digits = BytesOf("123456789");
  EXPECT_EQ(Bitmaps::Crc32(digits.data(), digits.size()), 0xCBF43926u);
  const Bytes iend = BytesOf("IEND");
  EXPECT_EQ(Bitmaps::Crc32(iend.data(), iend.size()), 0xAE426082u);
  EXPECT_EQ(Bitmaps::Crc32(nullptr, 0), 0u);

  const Bytes word = BytesOf("Wikipedia");
  EXPECT_EQ(Bitmaps::Adler32(word.data(), word.size()), 0x11E60398u);
  EXPECT_EQ(Bitmaps::Adler32(nullptr, 0), 1u);
  // Long enough for both sums to wrap around the modulus many times (value from zlib).
  const Bytes ones(100000, 0xFF);
  EXPECT_EQ(Bitmaps::Adler32(ones.data(), ones.size()), 0x149A302Cu);
}

TEST(PixelMap, ReadsRowsTopFirstThroughTheLegend) {
  const PixelMap map = Bitmaps::ParsePixelMap(kTwoByTwo);
  ASSERT_EQ(map.width, 2);
  ASSERT_EQ(map.height, 2);
  EXPECT_EQ(map.At(0, 0), (Rgb{255, 0, 0}));
  EXPECT_EQ(map.At(1, 0), (Rgb{0, 255, 0}));
  EXPECT_EQ(map.At(0, 1), (Rgb{0, 0, 255}));
  EXPECT_EQ(map.At(1, 1), (Rgb{1, 2, 3}));
}

TEST(PixelMap, NamesTheLineOfTheFirstFault) {
  struct Case {
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {"size 2 1\ncolour a 1 2 3\npixels\nab\n", "line 4: character 'b' is not in the legend"},
      {"size 2 1\ncolour a 1 2 3\npixels\naaa\n", "line 4: row has 3 pixels, not 2"},
      {"size 2 2\ncolour a 1 2 3\npixels\naa\n", "found 1 rows, not 2"},
      {"size 1 1\ncolour a 1 2 3\npixels\na\na\n", "line 5: more than 1 rows"},
      {"size 1 1\ncolour a 1 2 3\ncolour a 4 5 6\npixels\na\n", "line 3: colour 'a' is given twice"},
      {"size 1 1\ncolour a 1 256 3\npixels\na\n", "line 2: green must be a number from 0 to 255"},
      {"size 1 1\ncolour ab 1 2 3\npixels\na\n", "line 2: a colour is named by one character"},
      {"size 0 1\n", "line 1: width must be a number from 1 to 4096"},
      {"colour a 1 2 3\npixels\na\n", "no 'size' line before 'pixels'"},
      {"size 1 1\ncolour a 1 2 3\n", "no 'pixels' line"},
      {"size 1 1\npalette a 1 2 3\n", "line 2: expected 'size', 'colour' or 'pixels'"},
  };
  for (const Case& c : cases) {
    try {
      Bitmaps::ParsePixelMap(c.text);
      ADD_FAILURE() << "accepted:\n" << c.text;
    } catch (const std::runtime_error& error) {
      EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos)
          << "got: " << error.what() << "\nwanted: " << c.message;
    }
  }
}

TEST(DibEncoder, WritesHeaderThenRowsBottomUpInBlueGreenRedWithPadding) {
  const Bytes expected = {
      40,  0, 0,   0,                // biSize
      2,   0, 0,   0,                // biWidth
      2,   0, 0,   0,                // biHeight, positive: bottom-up
      1,   0,                        // biPlanes
      24,  0,                        // biBitCount
      0,   0, 0,   0,                // biCompression BI_RGB
      16,  0, 0,   0,                // biSizeImage: 2 rows of 8 bytes
      0,   0, 0,   0,                // biXPelsPerMeter
      0,   0, 0,   0,                // biYPelsPerMeter
      0,   0, 0,   0,                // biClrUsed
      0,   0, 0,   0,                // biClrImportant
      255, 0, 0,   3, 2,   1, 0, 0,  // bottom row: blue, almost black, padding
      0,   0, 255, 0, 255, 0, 0, 0,  // top row: red, green, padding
  };
  EXPECT_EQ(Bitmaps::EncodeDib24(Bitmaps::ParsePixelMap(kTwoByTwo)), expected);
}

TEST(DibEncoder, BmpFileIsTheDibBehindAFileHeader) {
  const PixelMap map = Bitmaps::ParsePixelMap(kTwoByTwo);
  const Bytes dib = Bitmaps::EncodeDib24(map);
  const Bytes file = Bitmaps::EncodeBmpFile(map);
  ASSERT_EQ(file.size(), 14 + dib.size());
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  EXPECT_EQ(LittleEndian32(file, 2), file.size());
  EXPECT_EQ(LittleEndian32(file, 6), 0u);
  EXPECT_EQ(LittleEndian32(file, 10), 54u);
  EXPECT_EQ(Bytes(file.begin() + 14, file.end()), dib);
}

// Reads back what EncodePng wrote, independently of it: chunks with their CRCs, IHDR, and
// the zlib stream's stored blocks and Adler-32.
struct DecodedPng {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  Bytes header;     // the 13 bytes of IHDR
  Bytes scanlines;  // inflated IDAT
  int storedBlocks = 0;
  std::vector<std::string> chunkTypes;
};

DecodedPng DecodeStoredPng(const Bytes& png) {
  DecodedPng decoded;
  const Bytes signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  EXPECT_EQ(Bytes(png.begin(), png.begin() + 8), signature);
  Bytes zlib;
  for (size_t at = 8; at < png.size();) {
    const std::uint32_t length = BigEndian32(png, at);
    const std::string type(png.begin() + static_cast<long>(at) + 4, png.begin() + static_cast<long>(at) + 8);
    const Bytes content(png.begin() + static_cast<long>(at) + 8, png.begin() + static_cast<long>(at + 8 + length));
    EXPECT_EQ(BigEndian32(png, at + 8 + length), Bitmaps::Crc32(&png[at + 4], length + 4)) << type;
    decoded.chunkTypes.push_back(type);
    if (type == "IHDR") decoded.header = content;
    if (type == "IDAT") zlib.insert(zlib.end(), content.begin(), content.end());
    at += 12 + length;
  }
  decoded.width = BigEndian32(decoded.header, 0);
  decoded.height = BigEndian32(decoded.header, 4);

  EXPECT_EQ((zlib.at(0) << 8 | zlib.at(1)) % 31, 0) << "zlib header check bits";
  EXPECT_EQ(zlib.at(0) & 0x0F, 8) << "deflate";
  size_t at = 2;
  bool last = false;
  while (!last) {
    last = (zlib.at(at) & 1) != 0;
    EXPECT_EQ(zlib.at(at) & 6, 0) << "stored block";
    const unsigned length = zlib.at(at + 1) | zlib.at(at + 2) << 8;
    const unsigned check = zlib.at(at + 3) | zlib.at(at + 4) << 8;
    EXPECT_EQ(length ^ check, 0xFFFFu);
    decoded.scanlines.insert(decoded.scanlines.end(), zlib.begin() + static_cast<long>(at) + 5,
                             zlib.begin() + static_cast<long>(at + 5 + length));
    ++decoded.storedBlocks;
    at += 5 + length;
  }
  EXPECT_EQ(BigEndian32(zlib, at), Bitmaps::Adler32(decoded.scanlines.data(), decoded.scanlines.size()));
  EXPECT_EQ(at + 4, zlib.size());
  return decoded;
}

TEST(PngEncoder, EnlargesEachPixelIntoASquareOfRgbSamples) {
  const DecodedPng png = DecodeStoredPng(Bitmaps::EncodePng(Bitmaps::ParsePixelMap(kTwoByTwo), 2));
  EXPECT_EQ(png.chunkTypes, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
  EXPECT_EQ(png.header, (Bytes{0, 0, 0, 4, 0, 0, 0, 4, 8, 2, 0, 0, 0}));
  const Bytes top = {0, 255, 0, 0, 255, 0, 0, 0, 255, 0, 0, 255, 0};
  const Bytes bottom = {0, 0, 0, 255, 0, 0, 255, 1, 2, 3, 1, 2, 3};
  Bytes expected;
  for (const Bytes* row : {&top, &top, &bottom, &bottom}) {
    expected.insert(expected.end(), row->begin(), row->end());
  }
  EXPECT_EQ(png.scanlines, expected);
}

TEST(PngEncoder, SplitsLargeImagesIntoStoredBlocksOfAtMost65535Bytes) {
  const PixelMap picture = Bitmaps::ParsePixelMap(ReadSourceFile("res/status_idle.txt"));
  const DecodedPng png = DecodeStoredPng(Bitmaps::EncodePng(picture, 8));
  EXPECT_EQ(png.width, 216u);
  EXPECT_EQ(png.height, 200u);
  EXPECT_EQ(png.scanlines.size(), 200u * (1 + 216 * 3));
  EXPECT_EQ(png.storedBlocks, 2);
  // Row 8 * 19 + 3, pixel 8 * 5 + 4: inside the source pixel (5, 19).
  const size_t row = 8 * 19 + 3;
  const size_t sample = row * (1 + 216 * 3) + 1 + (8 * 5 + 4) * 3;
  const Rgb source = picture.At(5, 19);
  EXPECT_EQ(png.scanlines.at(sample), source.red);
  EXPECT_EQ(png.scanlines.at(sample + 1), source.green);
  EXPECT_EQ(png.scanlines.at(sample + 2), source.blue);
}

TEST(PngEncoder, RefusesScalesOutsideOneTo64) {
  const PixelMap map = Bitmaps::ParsePixelMap(kTwoByTwo);
  EXPECT_THROW(Bitmaps::EncodePng(map, 0), std::invalid_argument);
  EXPECT_THROW(Bitmaps::EncodePng(map, 65), std::invalid_argument);
}

// The .bmp files the resource script takes must be what their pixel maps say.
TEST(StatusPictures, CommittedBitmapsAreGeneratedFromTheirPixelMaps) {
  for (const char* name : {"res/status_idle", "res/status_listening"}) {
    const PixelMap map = Bitmaps::ParsePixelMap(ReadSourceFile(std::string(name) + ".txt"));
    const Bytes committed = BytesOf(ReadSourceFile(std::string(name) + ".bmp"));
    EXPECT_EQ(committed, Bitmaps::EncodeBmpFile(map)) << name << ".bmp: run 'make bitmaps'";
    EXPECT_EQ(Bitmaps::EncodeDib24(map).size(), 2140u) << name;
  }
}

TEST(StatusPictures, ShowTheDeviceInTheAgreedColours) {
  const PixelMap idle = Bitmaps::ParsePixelMap(ReadSourceFile("res/status_idle.txt"));
  const PixelMap listening = Bitmaps::ParsePixelMap(ReadSourceFile("res/status_listening.txt"));
  const Rgb background{251, 251, 251};
  const Rgb outline{85, 85, 85};
  const Rgb innerLine{224, 224, 224};
  const Rgb litStrip{0, 204, 102};

  struct Spot {
    const char* what;
    int x;
    int y;
    Rgb colour;
  };
  const Spot shared[] = {
      {"top-left background", 0, 0, background},
      {"top-right background", 26, 0, background},
      {"bottom-right background", 26, 24, background},
      {"box outline, top-left corner on the fourth row", 1, 3, outline},
      {"box outline, top-right corner", 25, 3, outline},
      {"box outline, bottom-right corner", 25, 23, outline},
      {"inner line under the top edge", 20, 4, innerLine},
      {"inner line beside the right edge", 24, 12, innerLine},
  };
  for (const PixelMap* picture : {&idle, &listening}) {
    ASSERT_EQ(picture->width, 27);
    ASSERT_EQ(picture->height, 25);
    for (const Spot& spot : shared) {
      EXPECT_EQ(picture->At(spot.x, spot.y), spot.colour) << spot.what;
    }
    // The stub: two grey columns from the top row down to the box.
    for (int y = 0; y < 3; ++y) {
      for (int x : {12, 13}) {
        const Rgb stub = picture->At(x, y);
        EXPECT_TRUE(stub.red == stub.green && stub.green == stub.blue && stub != background)
            << "stub at " << x << "," << y;
      }
    }
  }

  int litPixels = 0;
  for (const Rgb& pixel : listening.pixels) litPixels += pixel == litStrip;
  EXPECT_GE(litPixels, 8) << "the lit indicator strip";
  for (const Rgb& pixel : idle.pixels) ASSERT_NE(pixel, litStrip) << "the idle strip is unlit";

  // The badges over the box's lower-left corner: red for idle, green while listening.
  const Rgb idleBadge = idle.At(2, 19);
  const Rgb listeningBadge = listening.At(9, 20);
  EXPECT_GT(idleBadge.red, 2 * idleBadge.green);
  EXPECT_GT(listeningBadge.green, 2 * listeningBadge.red);
}

}  // namespace
