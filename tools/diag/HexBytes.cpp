#include "tools/diag/HexBytes.h"

namespace {

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == ',' || c == ':' || c == '-'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

ParsedHex Refuse(const std::string& error) { return ParsedHex{std::nullopt, error}; }

}  // namespace

ParsedHex ParseHexBytes(const std::string& text) {
  std::vector<std::uint8_t> bytes;
  std::size_t i = 0;
  while (i < text.size()) {
    if (IsSeparator(text[i])) {
      ++i;
      continue;
    }
    const std::size_t groupStart = i;
    if (text[i] == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
      i += 2;
    }
    const std::size_t digitsStart = i;
    while (i < text.size() && !IsSeparator(text[i])) {
      if (HexValue(text[i]) < 0) {
        return Refuse("'" + std::string(1, text[i]) + "' at position " + std::to_string(i + 1) + " is not a hex digit");
      }
      ++i;
    }
    const std::size_t digits = i - digitsStart;
    const std::string group = text.substr(groupStart, i - groupStart);
    if (digits == 0) {
      return Refuse("'" + group + "' has no hex digits");
    }
    if (digits > 2 && digits % 2 != 0) {
      return Refuse("'" + group + "' has an odd number of hex digits");
    }
    if (digits == 1) {
      bytes.push_back(static_cast<std::uint8_t>(HexValue(text[digitsStart])));
      continue;
    }
    for (std::size_t d = digitsStart; d < i; d += 2) {
      bytes.push_back(static_cast<std::uint8_t>(HexValue(text[d]) * 16 + HexValue(text[d + 1])));
    }
  }
  if (bytes.empty()) {
    return Refuse("no hex bytes given");
  }
  return ParsedHex{std::move(bytes), {}};
}

std::string FormatHexBytes(const std::uint8_t* bytes, std::size_t count) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(count * 3);
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) text += ' ';
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
  }
  return text;
}
