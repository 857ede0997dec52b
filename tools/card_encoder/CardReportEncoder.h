// Builds card reports the way the reader scrambles them: for tests, the simulated
// reader and the demo. Platform-neutral.
#pragma once

#include <array>
#include <cstdint>

using CardRecord = std::array<std::uint8_t, 7>;
using CardReportBytes = std::array<std::uint8_t, 17>;

// A card record for a number: byte 0 as given, the number little-endian in bytes 1..4,
// and its check value in bytes 5..6.
CardRecord MakeCardRecord(std::uint32_t cardNumber, std::uint8_t firstByte = 0);

// Whether a shift byte can carry data: shift counts are taken modulo 32, and only
// remainders 0..8 decode to anything but zeros.
bool IsEncodableShift(std::uint8_t shift);

// A 17-byte report (report id 0, type 1) that decodes to `record` with the given shift.
// The B bytes come from `seed` (any value; different seeds give different reports).
// For a shift that cannot carry data the A bytes are the record's bytes unchanged; such
// a report decodes to zeros, as the reader's format says.
CardReportBytes EncodeCardReport(const CardRecord& record, std::uint8_t shift, std::uint32_t seed);

// Shorthand: the report for a card number with its correct check value.
CardReportBytes EncodeCardNumber(std::uint32_t cardNumber, std::uint8_t shift, std::uint32_t seed);
