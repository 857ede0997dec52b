// Appends integers to a byte vector in little-endian (BMP) or big-endian (PNG) order.
#pragma once

#include <cstdint>
#include <vector>

namespace Bitmaps {

class ByteWriter {
 public:
  explicit ByteWriter(std::vector<std::uint8_t>& bytes) : m_bytes(bytes) {}

  void U8(std::uint32_t value) { m_bytes.push_back(static_cast<std::uint8_t>(value & 0xFF)); }
  void U16(std::uint32_t value) {
    U8(value);
    U8(value >> 8);
  }
  void U32(std::uint32_t value) {
    U16(value);
    U16(value >> 16);
  }
  void U32BigEndian(std::uint32_t value) {
    U8(value >> 24);
    U8(value >> 16);
    U8(value >> 8);
    U8(value);
  }

 private:
  std::vector<std::uint8_t>& m_bytes;
};

}  // namespace Bitmaps
