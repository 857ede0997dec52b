// The reader's card report: descrambling, check value and card number.
// Platform-neutral: no Windows headers, no allocation, no state.
#pragma once

#include <cstddef>
#include <cstdint>

// Size of the record buffer the decoder writes into.
constexpr std::size_t kCardRecordBufferSize = 1024;
// A card record is 7 bytes: byte 0, card number in 1..4, check value in 5..6.
constexpr std::int32_t kCardRecordLength = 7;
// A card report is 17 bytes: report id, type, seven (A, B) pairs, shift count.
constexpr std::uint32_t kCardReportLength = 17;
constexpr std::uint8_t kCardReportType = 0x01;

// Descrambles a payload (an input report without its report-id byte) into `record`.
// Returns the number of decoded bytes, or 0 when the payload is rejected (odd length,
// shorter than 4, wrong report type, or more pairs than the buffer holds).
std::int32_t DecodeCardReport(const std::uint8_t* payload, std::int32_t length,
                              std::uint8_t (&record)[kCardRecordBufferSize]);

// CRC-16 (reflected 0x8005, initial 0xFFFF) in the reader's variant: each byte is
// sign-extended to 16 bits before it is XORed into the register.
std::uint16_t ComputeCheckValue(std::uint32_t count, const std::uint8_t* bytes);

enum class CardReportStatus {
  Accepted,       // decoded to 7 bytes and the check value matches
  NotDecoded,     // the decoder rejected the payload
  WrongLength,    // decoded, but not to exactly 7 bytes
  CheckMismatch,  // 7 bytes whose check value does not match
};

struct CardReportResult {
  CardReportStatus status;
  std::uint32_t cardNumber;    // valid only when status is Accepted
  std::int32_t decodedLength;  // what the decoder returned
};

// One whole input report as read from the device (report id byte included) to a card
// number or a rejection. This is the only path from device bytes to a card number.
CardReportResult ReadCardReport(const std::uint8_t* report, std::uint32_t byteCount);

const char* CardReportStatusText(CardReportStatus status);

// Why a report gave no card number, in the terms of its format.
enum class CardRejection {
  None,             // accepted
  WrongLength,      // the payload's length, or the decoded record's, is not a card's
  WrongType,        // the report type byte is not 0x01
  ShiftOutOfRange,  // the shift count (modulo 32) is above 8, so the record decodes to zeros
  CheckValueMismatch,
};

CardRejection ClassifyRejection(const std::uint8_t* report, std::uint32_t byteCount, const CardReportResult& result);

const char* CardRejectionText(CardRejection rejection);
