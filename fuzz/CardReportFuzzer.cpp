// Fuzz target for the path from raw device bytes to a card number.
//
// Property: no crash and no undefined behaviour (AddressSanitizer, UBSan), and a number
// comes out exactly when the report is 17 bytes of type 1 whose check value matches, and
// it is the number an independent straightforward decoder finds. The reference below is
// written from the rotation reading of the scrambling rule, not from the product's
// shift-and-XOR formula.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "reader/CardReport.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "property violated: %s\n", what);
  std::abort();
}

std::uint8_t RotateRight(std::uint8_t value, unsigned k) {
  return k % 8 == 0 ? value : static_cast<std::uint8_t>((value >> (k % 8)) | (value << (8 - k % 8)));
}

// The B bytes of all pairs as one circular bit string rotated right by k, each output
// byte XORed with its A rotated right by k; remainders 9..31 of the shift give zeros.
std::vector<std::uint8_t> ReferenceDecode(const std::uint8_t* payload, std::size_t pairs) {
  const unsigned k = payload[2 * pairs + 1] % 32u;
  std::vector<std::uint8_t> out(pairs, 0);
  if (k > 8) return out;
  for (std::size_t i = 0; i < pairs; ++i) {
    const unsigned a = payload[2 * i + 1];
    const unsigned b = payload[2 * i + 2];
    const unsigned previous = payload[2 * ((i + pairs - 1) % pairs) + 2];
    const unsigned window = (previous << 8) | b;  // 16 bits of the circular string
    out[i] = static_cast<std::uint8_t>(((window >> k) & 0xFF) ^ RotateRight(static_cast<std::uint8_t>(a), k));
  }
  return out;
}

// CRC-16 with the reader's sign extension, written as arithmetic on signed bytes.
std::uint16_t ReferenceCheck(const std::uint8_t* bytes, std::size_t count) {
  unsigned crc = 0xFFFF;
  for (std::size_t i = 0; i < count; ++i) {
    const int signedByte = static_cast<int>(bytes[i] ^ 0x80u) - 0x80;  // -128..127
    crc ^= static_cast<unsigned>(signedByte) & 0xFFFFu;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1u) ? 0xA001u : 0u);
  }
  return static_cast<std::uint16_t>(crc);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const CardReportResult result = ReadCardReport(data, static_cast<std::uint32_t>(size));

  bool expectNumber = false;
  std::uint32_t expectedNumber = 0;
  if (size == 17 && data[1] == 0x01) {
    const std::vector<std::uint8_t> record = ReferenceDecode(data + 1, 7);
    const std::uint16_t stored = static_cast<std::uint16_t>(record[5] | (record[6] << 8));
    if (ReferenceCheck(record.data(), 5) == stored) {
      expectNumber = true;
      expectedNumber = static_cast<std::uint32_t>(record[1]) | (static_cast<std::uint32_t>(record[2]) << 8) |
                       (static_cast<std::uint32_t>(record[3]) << 16) | (static_cast<std::uint32_t>(record[4]) << 24);
    }
  }
  const bool gotNumber = result.status == CardReportStatus::Accepted;
  if (gotNumber != expectNumber)
    Fail(gotNumber ? "number from a report that should be rejected" : "valid card rejected");
  if (gotNumber && result.cardNumber != expectedNumber) Fail("wrong card number");

  // The decoder itself, for payloads of any decodable length, against the reference.
  if (size >= 5 && (size - 1) % 2 == 0 && data[1] == 0x01) {
    const std::size_t pairs = (size - 3) / 2;
    std::uint8_t record[kCardRecordBufferSize];
    const std::int32_t decoded = DecodeCardReport(data + 1, static_cast<std::int32_t>(size - 1), record);
    if (pairs > kCardRecordBufferSize) {
      if (decoded != 0) Fail("oversized payload decoded");
    } else {
      if (decoded != static_cast<std::int32_t>(pairs)) Fail("wrong decoded length");
      const std::vector<std::uint8_t> expected = ReferenceDecode(data + 1, pairs);
      for (std::size_t i = 0; i < pairs; ++i) {
        if (record[i] != expected[i]) Fail("decoded byte differs from the reference");
      }
    }
  }
  return 0;
}
