#include "tools/diag/ReportDescription.h"

#include "tools/diag/HexBytes.h"

namespace {

void WriteDecoding(const CardReportResult& result, std::ostream& out) {
  out << "  decodes:     ";
  switch (result.status) {
    case CardReportStatus::NotDecoded:
      out << "no (a card report is 17 bytes: report id, type 01, seven byte pairs, shift count)\n";
      return;
    case CardReportStatus::WrongLength:
      out << "to " << result.decodedLength << " bytes, not to a " << kCardRecordLength << "-byte card record\n";
      return;
    case CardReportStatus::CheckMismatch:
    case CardReportStatus::Accepted:
      out << "yes, to a " << kCardRecordLength << "-byte card record\n";
      out << "  check value: " << (result.status == CardReportStatus::Accepted ? "matches" : "does not match") << "\n";
      return;
  }
}

}  // namespace

CardReportResult DescribeReport(const std::uint8_t* report, std::uint32_t byteCount, std::ostream& out) {
  const CardReportResult result = ReadCardReport(report, byteCount);
  out << byteCount << (byteCount == 1 ? " byte" : " bytes");
  if (byteCount > 0) {
    out << ": " << FormatHexBytes(report, byteCount);
  }
  out << "\n";
  WriteDecoding(result, out);
  if (result.status == CardReportStatus::Accepted) {
    out << "  card number: " << result.cardNumber << "\n";
  } else {
    out << "  card number: none (" << CardReportStatusText(result.status) << "; the page is not called)\n";
  }
  return result;
}
