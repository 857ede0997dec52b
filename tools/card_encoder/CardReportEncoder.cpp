#include "tools/card_encoder/CardReportEncoder.h"

#include "reader/CardReport.h"

namespace {

std::uint8_t RotateLeft8(std::uint8_t value, unsigned count) {
  count %= 8u;
  if (count == 0) return value;
  return static_cast<std::uint8_t>(((value << count) | (value >> (8u - count))) & 0xFFu);
}

// xorshift32: reproducible filler bytes without global state.
std::uint32_t NextRandom(std::uint32_t& state) {
  if (state == 0) state = 0x9E3779B9u;
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return state;
}

}  // namespace

CardRecord MakeCardRecord(std::uint32_t cardNumber, std::uint8_t firstByte) {
  CardRecord record{};
  record[0] = firstByte;
  for (int i = 0; i < 4; ++i) {
    record[1 + i] = static_cast<std::uint8_t>((cardNumber >> (8 * i)) & 0xFFu);
  }
  const std::uint16_t check = ComputeCheckValue(5, record.data());
  record[5] = static_cast<std::uint8_t>(check & 0xFFu);
  record[6] = static_cast<std::uint8_t>(check >> 8);
  return record;
}

bool IsEncodableShift(std::uint8_t shift) { return (shift & 31u) <= 8u; }

CardReportBytes EncodeCardReport(const CardRecord& record, std::uint8_t shift, std::uint32_t seed) {
  CardReportBytes report{};
  report[0] = 0;  // report id
  report[1] = kCardReportType;
  report[16] = shift;

  std::uint8_t b[7];
  std::uint32_t state = seed;
  for (auto& value : b) value = static_cast<std::uint8_t>(NextRandom(state) >> 24);

  const unsigned k = shift & 31u;
  for (int i = 0; i < 7; ++i) {
    std::uint8_t a = record[static_cast<std::size_t>(i)];
    if (k <= 8) {
      // Decoding gives R(i) XOR rotr(A(i), k), where R(i) is the low byte of
      // (B(i-1) * 256 + B(i)) >> k, so A(i) = rotl(record(i) XOR R(i), k).
      const unsigned previous = b[(i + 6) % 7];
      const std::uint8_t r = static_cast<std::uint8_t>(((previous << 8) | b[i]) >> k);
      a = RotateLeft8(static_cast<std::uint8_t>(a ^ r), k);
    }
    report[static_cast<std::size_t>(2 + 2 * i)] = a;
    report[static_cast<std::size_t>(3 + 2 * i)] = b[i];
  }
  return report;
}

CardReportBytes EncodeCardNumber(std::uint32_t cardNumber, std::uint8_t shift, std::uint32_t seed) {
  return EncodeCardReport(MakeCardRecord(cardNumber), shift, seed);
}
