#include "tools/bitmaps/PixelMap.h"

#include <map>
#include <sstream>
#include <stdexcept>

namespace Bitmaps {
namespace {

constexpr int kLargestSide = 4096;

[[noreturn]] void Fail(int lineNumber, const std::string& what) {
  throw std::runtime_error("line " + std::to_string(lineNumber) + ": " + what);
}

bool IsSkipped(const std::string& line) {
  return line.empty() || line[0] == ';' || line.find_first_not_of(" \t\r") == std::string::npos;
}

std::string WithoutCarriageReturn(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

int ReadNumber(std::istringstream& words, int lowest, int highest, int lineNumber, const char* what) {
  int value = 0;
  if (!(words >> value) || value < lowest || value > highest) {
    Fail(lineNumber,
         std::string(what) + " must be a number from " + std::to_string(lowest) + " to " + std::to_string(highest));
  }
  return value;
}

struct Header {
  int width = 0;
  int height = 0;
  std::map<char, Rgb> legend;
};

// Reads "size" and "colour" lines up to and including "pixels".
void ReadHeaderLine(const std::string& line, int lineNumber, Header& header) {
  std::istringstream words(line);
  std::string keyword;
  words >> keyword;
  if (keyword == "size") {
    header.width = ReadNumber(words, 1, kLargestSide, lineNumber, "width");
    header.height = ReadNumber(words, 1, kLargestSide, lineNumber, "height");
  } else if (keyword == "colour") {
    std::string symbol;
    words >> symbol;
    if (symbol.size() != 1) Fail(lineNumber, "a colour is named by one character");
    const auto red = static_cast<std::uint8_t>(ReadNumber(words, 0, 255, lineNumber, "red"));
    const auto green = static_cast<std::uint8_t>(ReadNumber(words, 0, 255, lineNumber, "green"));
    const auto blue = static_cast<std::uint8_t>(ReadNumber(words, 0, 255, lineNumber, "blue"));
    if (!header.legend.emplace(symbol[0], Rgb{red, green, blue}).second) {
      Fail(lineNumber, std::string("colour '") + symbol + "' is given twice");
    }
  } else {
    Fail(lineNumber, "expected 'size', 'colour' or 'pixels', found '" + keyword + "'");
  }
}

}  // namespace

PixelMap ParsePixelMap(const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  int lineNumber = 0;
  Header header;

  bool inPixels = false;
  while (!inPixels && std::getline(lines, line)) {
    ++lineNumber;
    line = WithoutCarriageReturn(line);
    if (IsSkipped(line)) continue;
    if (line == "pixels") {
      inPixels = true;
    } else {
      ReadHeaderLine(line, lineNumber, header);
    }
  }
  if (!inPixels) Fail(lineNumber, "no 'pixels' line");
  if (header.width == 0) Fail(lineNumber, "no 'size' line before 'pixels'");

  PixelMap map;
  map.width = header.width;
  map.height = header.height;
  map.pixels.reserve(static_cast<size_t>(map.width) * static_cast<size_t>(map.height));
  int row = 0;
  while (std::getline(lines, line)) {
    ++lineNumber;
    line = WithoutCarriageReturn(line);
    if (IsSkipped(line)) continue;
    if (row == map.height) Fail(lineNumber, "more than " + std::to_string(map.height) + " rows");
    if (line.size() != static_cast<size_t>(map.width)) {
      Fail(lineNumber, "row has " + std::to_string(line.size()) + " pixels, not " + std::to_string(map.width));
    }
    for (char symbol : line) {
      const auto colour = header.legend.find(symbol);
      if (colour == header.legend.end()) {
        Fail(lineNumber, std::string("character '") + symbol + "' is not in the legend");
      }
      map.pixels.push_back(colour->second);
    }
    ++row;
  }
  if (row != map.height) {
    Fail(lineNumber, "found " + std::to_string(row) + " rows, not " + std::to_string(map.height));
  }
  return map;
}

}  // namespace Bitmaps
