// The reports the soak sends the reader: valid cards among broken check values, wrong
// report types, wrong lengths (0 to 2000 bytes) and random bytes, from a seeded generator.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

enum class ReportKind { ValidCard, BrokenCheckValue, WrongType, WrongLength, RandomBytes };
constexpr int kReportKinds = 5;
const char* ReportKindName(ReportKind kind);

struct Report {
  ReportKind kind;
  std::vector<std::uint8_t> bytes;
  std::uint32_t cardNumber = 0;  // for a valid card
};

class ReportMix {
 public:
  static constexpr std::size_t kLongestReport = 2000;

  // `readLength` is the device's input report length: a report longer than that reaches
  // the reader in pieces of that size (a HID device could not send it at all), so no piece
  // of an invalid report may happen to be a valid card.
  ReportMix(std::uint32_t seed, std::size_t readLength);
  // For a reader with another input report length.
  void SetReadLength(std::size_t readLength) { m_readLength = readLength; }

  // A valid card report; each call gives a card number not given before.
  Report ValidCard();
  // One report of the given kind. Wrong lengths run from 0 to 2000 bytes.
  Report Make(ReportKind kind);
  // One invalid report of a kind chosen at random.
  Report Invalid();
  // The same, but never longer than the device's reports, so read whole.
  Report InvalidReadWhole();
  // Whether the report is longer than the device says its reports are: the reader's
  // read fails on it, as on a device fault, and listening ends.
  bool TooLong(const Report& report) const { return report.bytes.size() > m_readLength; }

  std::mt19937& Random() { return m_random; }

 private:
  std::uint8_t AnyShift();
  std::uint8_t Byte() { return static_cast<std::uint8_t>(m_random() & 0xFF); }
  std::vector<std::uint8_t> ValidBytes(std::uint32_t number);
  Report WrongLength(std::size_t longest);
  std::uint32_t NextCardNumber();
  // Re-rolls any read-sized piece that would decode to a card.
  void BreakAccidentalCards(std::vector<std::uint8_t>& bytes);

  std::mt19937 m_random;
  std::size_t m_readLength;
  std::uint32_t m_cardsMade;
};
