#include "reader/CardReport.h"

#include <array>
#include <limits>

namespace {

// The format's shifts act on 8-bit values with a count taken modulo 32; a value shifted
// by 8 or more (and truncated back to 8 bits) is 0. These helpers give exactly that
// without ever shifting by 32 or more or by a negative count.
std::uint8_t ShiftRight8(std::uint8_t value, std::uint32_t count) {
  const std::uint32_t effective = count & 31u;
  return effective >= 8u ? std::uint8_t{0} : static_cast<std::uint8_t>(value >> effective);
}

std::uint8_t ShiftLeft8(std::uint8_t value, std::uint32_t count) {
  const std::uint32_t effective = count & 31u;
  return effective >= 8u ? std::uint8_t{0}
                         : static_cast<std::uint8_t>((static_cast<std::uint32_t>(value) << effective) & 0xFFu);
}

// The register after eight shift-and-XOR steps (reflected polynomial 0x8005) of each
// possible low byte.
constexpr std::array<std::uint16_t, 256> MakeCheckTable() {
  std::array<std::uint16_t, 256> table{};
  for (std::uint32_t value = 0; value < 256; ++value) {
    std::uint32_t crc = value;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1u) ? ((crc >> 1) ^ 0xA001u) : (crc >> 1);
    }
    table[value] = static_cast<std::uint16_t>(crc);
  }
  return table;
}

constexpr std::array<std::uint16_t, 256> kCheckTable = MakeCheckTable();

}  // namespace

std::int32_t DecodeCardReport(const std::uint8_t* payload, std::int32_t length,
                              std::uint8_t (&record)[kCardRecordBufferSize]) {
  if (payload == nullptr || length < 4 || length % 2 != 0 || payload[0] != kCardReportType) {
    return 0;
  }
  const std::int32_t pairs = (length - 2) / 2;
  if (pairs > static_cast<std::int32_t>(kCardRecordBufferSize)) {
    return 0;
  }
  const std::uint32_t shift = payload[length - 1];
  // 8 - shift in 32-bit unsigned arithmetic: a shift above 8 wraps round, and the helpers
  // then use what is left modulo 32 (shift 9 gives 31).
  const std::uint32_t counterShift = 8u - shift;

  for (std::int32_t i = 0; i < pairs; ++i) {
    const std::uint8_t a = payload[2 * i + 1];
    const std::uint8_t b = payload[2 * i + 2];
    // The previous pair's B; pair 0 wraps round to the last pair's B.
    const std::uint8_t previousB = (i == 0) ? payload[2 * pairs] : payload[2 * i];
    const std::uint8_t left = static_cast<std::uint8_t>(ShiftRight8(b, shift) | ShiftLeft8(a, counterShift));
    const std::uint8_t right = static_cast<std::uint8_t>(ShiftLeft8(previousB, counterShift) | ShiftRight8(a, shift));
    record[i] = static_cast<std::uint8_t>(left ^ right);
  }
  return pairs;
}

std::uint16_t ComputeCheckValue(std::uint32_t count, const std::uint8_t* bytes) {
  std::uint16_t crc = 0xFFFF;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint8_t byte = bytes[i];
    // XORing the sign-extended byte and then shifting eight times is linear, so it splits
    // into the table step for the low byte and the high half's inversion (0xFF00 shifted
    // down by eight) for a byte of 0x80 or more.
    const std::uint16_t signPart = (byte & 0x80u) ? 0x00FFu : 0x0000u;
    crc = static_cast<std::uint16_t>((crc >> 8) ^ signPart ^ kCheckTable[(crc ^ byte) & 0xFFu]);
  }
  return crc;
}

CardReportResult ReadCardReport(const std::uint8_t* report, std::uint32_t byteCount) {
  CardReportResult result{CardReportStatus::NotDecoded, 0, 0};
  // A read of 0 bytes (as after an unplug) has no payload; a count beyond the decoder's
  // signed length must not wrap into a negative or huge length.
  if (report == nullptr || byteCount < 1 ||
      byteCount - 1 > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) {
    return result;
  }
  std::uint8_t record[kCardRecordBufferSize];
  result.decodedLength = DecodeCardReport(report + 1, static_cast<std::int32_t>(byteCount - 1), record);
  if (result.decodedLength == 0) {
    return result;
  }
  if (result.decodedLength != kCardRecordLength) {
    result.status = CardReportStatus::WrongLength;
    return result;
  }
  const std::uint16_t stored = static_cast<std::uint16_t>(record[5] | (record[6] << 8));
  if (ComputeCheckValue(5, record) != stored) {
    result.status = CardReportStatus::CheckMismatch;
    return result;
  }
  result.status = CardReportStatus::Accepted;
  result.cardNumber = static_cast<std::uint32_t>(record[1]) | (static_cast<std::uint32_t>(record[2]) << 8) |
                      (static_cast<std::uint32_t>(record[3]) << 16) | (static_cast<std::uint32_t>(record[4]) << 24);
  return result;
}

const char* CardReportStatusText(CardReportStatus status) {
  switch (status) {
    case CardReportStatus::Accepted:
      return "accepted";
    case CardReportStatus::NotDecoded:
      return "not a card report";
    case CardReportStatus::WrongLength:
      return "wrong record length";
    case CardReportStatus::CheckMismatch:
      return "check value mismatch";
  }
  return "unknown";
}

CardRejection ClassifyRejection(const std::uint8_t* report, std::uint32_t byteCount, const CardReportResult& result) {
  switch (result.status) {
    case CardReportStatus::Accepted:
      return CardRejection::None;
    case CardReportStatus::WrongLength:
      return CardRejection::WrongLength;
    case CardReportStatus::NotDecoded:
      // The decoder refuses a payload for its length or for its type byte.
      if (report == nullptr || byteCount < 5 || (byteCount - 1) % 2 != 0 || byteCount > 2 * kCardRecordBufferSize + 3) {
        return CardRejection::WrongLength;
      }
      return report[1] != kCardReportType ? CardRejection::WrongType : CardRejection::WrongLength;
    case CardReportStatus::CheckMismatch:
      return (report[byteCount - 1] & 31u) > 8u ? CardRejection::ShiftOutOfRange : CardRejection::CheckValueMismatch;
  }
  return CardRejection::WrongLength;
}

const char* CardRejectionText(CardRejection rejection) {
  switch (rejection) {
    case CardRejection::None:
      return "accepted";
    case CardRejection::WrongLength:
      return "wrong length";
    case CardRejection::WrongType:
      return "wrong report type";
    case CardRejection::ShiftOutOfRange:
      return "shift count out of range";
    case CardRejection::CheckValueMismatch:
      return "check value mismatch";
  }
  return "unknown";
}
