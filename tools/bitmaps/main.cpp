// bitmap_generator: turns a status picture's pixel map into the .bmp file that the
// resource script takes, or into a PNG (libpng): the extension's pictures at scale 1,
// enlarged previews for people to look at.
//
//   bitmap_generator bmp <map.txt> <out.bmp>
//   bitmap_generator png <map.txt> <scale> <out.png>
//   bitmap_generator check <map.txt> <file.bmp>   exit 1 when the file is not the map's
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/bitmaps/DibEncoder.h"
#include "tools/bitmaps/LibPngEncoder.h"
#include "tools/bitmaps/PixelMap.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

Bitmaps::PixelMap LoadMap(const std::string& path) {
  try {
    return Bitmaps::ParsePixelMap(ReadFile(path));
  } catch (const std::runtime_error& error) {
    throw std::runtime_error(path + ": " + error.what());
  }
}

int Usage() {
  std::fprintf(stderr,
               "usage: bitmap_generator bmp <map.txt> <out.bmp>\n"
               "       bitmap_generator png <map.txt> <scale> <out.png>\n"
               "       bitmap_generator check <map.txt> <file.bmp>\n");
  return 2;
}

int Run(const std::vector<std::string>& args) {
  if (args.size() == 3 && args[0] == "bmp") {
    WriteFile(args[2], Bitmaps::EncodeBmpFile(LoadMap(args[1])));
    return 0;
  }
  if (args.size() == 4 && args[0] == "png") {
    WriteFile(args[3], Bitmaps::EncodePngWithLibpng(LoadMap(args[1]), std::stoi(args[2])));
    return 0;
  }
  if (args.size() == 3 && args[0] == "check") {
    const std::vector<std::uint8_t> expected = Bitmaps::EncodeBmpFile(LoadMap(args[1]));
    const std::string actual = ReadFile(args[2]);
    if (actual.size() == expected.size() &&
        std::equal(expected.begin(), expected.end(), actual.begin(),
                   [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); })) {
      return 0;
    }
    std::fprintf(stderr, "%s is not generated from %s: run 'make bitmaps'\n", args[2].c_str(), args[1].c_str());
    return 1;
  }
  return Usage();
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bitmap_generator: %s\n", error.what());
    return 1;
  }
}
