#include "tests/soak/ReportMix.h"

#include <algorithm>

#include "reader/CardReport.h"
#include "tools/card_encoder/CardReportEncoder.h"

namespace {

// A bijection of 32-bit numbers, so that the n-th card has a number of its own, spread
// over the whole range.
std::uint32_t Scatter(std::uint32_t n) {
  n *= 2654435761u;
  n ^= n >> 16;
  n *= 0x45D9F3Bu;
  n ^= n >> 16;
  return n;
}

}  // namespace

const char* ReportKindName(ReportKind kind) {
  switch (kind) {
    case ReportKind::ValidCard:
      return "valid cards";
    case ReportKind::BrokenCheckValue:
      return "broken check values";
    case ReportKind::WrongType:
      return "wrong report types";
    case ReportKind::WrongLength:
      return "wrong lengths";
    case ReportKind::RandomBytes:
      return "random bytes";
  }
  return "?";
}

ReportMix::ReportMix(std::uint32_t seed, std::size_t readLength)
    : m_random(seed), m_readLength(readLength), m_cardsMade(0) {}

std::uint32_t ReportMix::NextCardNumber() { return Scatter(m_cardsMade++); }

// Shift counts 0 to 8 and their equivalents 32 to 40.
std::uint8_t ReportMix::AnyShift() {
  const auto shift = static_cast<std::uint8_t>(m_random() % 9);
  return (m_random() & 1) != 0 ? static_cast<std::uint8_t>(shift + 32) : shift;
}

std::vector<std::uint8_t> ReportMix::ValidBytes(std::uint32_t number) {
  const CardReportBytes report = EncodeCardNumber(number, AnyShift(), m_random());
  return std::vector<std::uint8_t>(report.begin(), report.end());
}

Report ReportMix::ValidCard() {
  const std::uint32_t number = NextCardNumber();
  return Report{ReportKind::ValidCard, ValidBytes(number), number};
}

Report ReportMix::Make(ReportKind kind) {
  if (kind == ReportKind::ValidCard) return ValidCard();
  Report report{kind, {}, 0};
  switch (kind) {
    case ReportKind::BrokenCheckValue: {
      CardRecord record = MakeCardRecord(m_random(), Byte());
      record[5 + m_random() % 2] ^= static_cast<std::uint8_t>(1u << (m_random() % 8));
      const CardReportBytes bytes = EncodeCardReport(record, AnyShift(), m_random());
      report.bytes.assign(bytes.begin(), bytes.end());
      break;
    }
    case ReportKind::WrongType: {
      report.bytes = ValidBytes(m_random());
      std::uint8_t type = Byte();
      if (type == kCardReportType) type = 0x02;
      report.bytes[1] = type;
      break;
    }
    case ReportKind::WrongLength:
      return WrongLength(kLongestReport);
    case ReportKind::RandomBytes: {
      const std::size_t length = (m_random() & 3) != 0 ? kCardReportLength : m_random() % kCardReportLength;
      report.bytes.resize(length);
      for (std::uint8_t& byte : report.bytes) byte = Byte();
      break;
    }
    case ReportKind::ValidCard:
      break;
  }
  BreakAccidentalCards(report.bytes);
  return report;
}

Report ReportMix::WrongLength(std::size_t longest) {
  std::size_t length = m_random() % (longest + 1);
  if (length == kCardReportLength) length = kCardReportLength - 1;
  // A card cut short or run on: the card's bytes first, then random ones.
  Report report{ReportKind::WrongLength, ValidBytes(m_random()), 0};
  report.bytes.resize(length);
  for (std::size_t i = kCardReportLength; i < length; ++i) report.bytes[i] = Byte();
  BreakAccidentalCards(report.bytes);
  return report;
}

Report ReportMix::Invalid() { return Make(static_cast<ReportKind>(1 + m_random() % (kReportKinds - 1))); }

Report ReportMix::InvalidReadWhole() {
  const auto kind = static_cast<ReportKind>(1 + m_random() % (kReportKinds - 1));
  return kind == ReportKind::WrongLength ? WrongLength(std::min(m_readLength, kLongestReport)) : Make(kind);
}

void ReportMix::BreakAccidentalCards(std::vector<std::uint8_t>& bytes) {
  for (std::size_t start = 0; start < bytes.size(); start += m_readLength) {
    const std::size_t length = std::min(m_readLength, bytes.size() - start);
    while (ReadCardReport(bytes.data() + start, static_cast<std::uint32_t>(length)).status ==
           CardReportStatus::Accepted) {
      bytes[start + 1] = Byte();  // the report type: most values end the card
    }
  }
}
