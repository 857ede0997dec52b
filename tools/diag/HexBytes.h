// Bytes as hex text, both ways.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ParsedHex {
  std::optional<std::vector<std::uint8_t>> bytes;  // nothing: the text is not hex bytes
  std::string error;                               // why, when there are no bytes
};

// Reads bytes written as hex: groups separated by blanks, commas, colons or dashes, each
// optionally prefixed with 0x. A group of one or two digits is one byte; a longer group
// must have an even number of digits and is read two digits per byte. So "00 01 5A",
// "00015A", "00:01:5a" and "0x00,0x01,0x5A" give the same three bytes.
ParsedHex ParseHexBytes(const std::string& text);

// "00 01 5A": two upper-case digits per byte, separated by blanks.
std::string FormatHexBytes(const std::uint8_t* bytes, std::size_t count);
