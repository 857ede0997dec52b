#include "tools/diag/DecodeCommand.h"

#include "tools/diag/ExitCodes.h"
#include "tools/diag/HexBytes.h"
#include "tools/diag/ReportDescription.h"

int RunDecode(const std::string& hexText, std::ostream& out, std::ostream& err) {
  const ParsedHex parsed = ParseHexBytes(hexText);
  if (!parsed.bytes) {
    err << "tarvx-diag: --decode: " << parsed.error << "\n";
    return kExitUsage;
  }
  const std::vector<std::uint8_t>& bytes = *parsed.bytes;
  const CardReportResult result = DescribeReport(bytes.data(), static_cast<std::uint32_t>(bytes.size()), out);
  return result.status == CardReportStatus::Accepted ? kExitOk : kExitFailed;
}
