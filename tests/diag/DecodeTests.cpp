// tarvx-diag --decode: the reader code's verdict on a report typed in hex.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tools/card_encoder/CardReportEncoder.h"
#include "tools/diag/Diagnostics.h"
#include "tools/diag/HexBytes.h"
#include "win32/Event.h"

namespace {

const char kWorkedExample[] = "00 01 5A 5C 00 0D FF 0B 12 F4 80 55 3C A4 01 AA 03";

struct Outcome {
  int exitCode;
  std::string out;
  std::string err;
};

Outcome Decode(const std::string& hex) {
  const kelmar::Win32::CManualResetEvent neverInterrupted(false);
  std::ostringstream out;
  std::ostringstream err;
  const int exitCode = RunDiagnostics({"--decode", hex}, neverInterrupted.GetHandle(), out, err);
  return Outcome{exitCode, out.str(), err.str()};
}

std::string Hex(const CardReportBytes& report) { return FormatHexBytes(report.data(), report.size()); }

TEST(Decode, TheWorkedExampleGivesItsCardNumber) {
  const Outcome outcome = Decode(kWorkedExample);
  EXPECT_EQ(outcome.exitCode, 0);
  EXPECT_EQ(outcome.out,
            "17 bytes: 00 01 5A 5C 00 0D FF 0B 12 F4 80 55 3C A4 01 AA 03\n"
            "  decodes:     yes, to a 7-byte card record\n"
            "  check value: matches\n"
            "  card number: 2587647617\n");
  EXPECT_EQ(outcome.err, "");
}

TEST(Decode, EachKindOfRejectionIsNamedAndFails) {
  struct Case {
    std::string hex;
    std::string decodes;  // the "decodes:" line's text
    bool checked;         // whether a "check value:" line follows
  };
  const Case cases[] = {
      // Report type 02 instead of 01.
      {"00 02 5A 5C 00 0D FF 0B 12 F4 80 55 3C A4 01 AA 03", "no (a card report is 17 bytes", false},
      // 18 bytes: an odd payload.
      {std::string(kWorkedExample) + " 00", "no (a card report is 17 bytes", false},
      // 19 bytes: eight pairs, one more than a card record.
      {std::string(kWorkedExample) + " 00 00", "to 8 bytes, not to a 7-byte card record", false},
      {"00", "no (a card report is 17 bytes", false},
      // Shift count 4 instead of 3: descrambles to other bytes, whose check value fails.
      {"00 01 5A 5C 00 0D FF 0B 12 F4 80 55 3C A4 01 AA 04", "yes, to a 7-byte card record", true},
  };
  for (const Case& c : cases) {
    const Outcome outcome = Decode(c.hex);
    EXPECT_EQ(outcome.exitCode, 1) << c.hex;
    EXPECT_NE(outcome.out.find("  decodes:     " + c.decodes), std::string::npos) << c.hex << "\n" << outcome.out;
    EXPECT_EQ(outcome.out.find("check value: does not match") != std::string::npos, c.checked) << c.hex << "\n"
                                                                                               << outcome.out;
    EXPECT_NE(outcome.out.find("  card number: none ("), std::string::npos) << c.hex << "\n" << outcome.out;
  }
}

TEST(Decode, CardNumbersAreUnsignedWhateverTheShift) {
  struct Case {
    std::uint32_t cardNumber;
    std::uint8_t shift;
  };
  const Case cases[] = {{0u, 0}, {4294967295u, 8}, {2147483648u, 35}, {2587647617u, 1}};
  for (const Case& c : cases) {
    const Outcome outcome = Decode(Hex(EncodeCardNumber(c.cardNumber, c.shift, 7)));
    EXPECT_EQ(outcome.exitCode, 0) << c.cardNumber;
    EXPECT_NE(outcome.out.find("  card number: " + std::to_string(c.cardNumber) + "\n"), std::string::npos)
        << outcome.out;
  }
}

TEST(Decode, TextThatIsNotHexIsAUsageError) {
  const Outcome outcome = Decode("00 01 5G");
  EXPECT_EQ(outcome.exitCode, 2);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err, "tarvx-diag: --decode: 'G' at position 8 is not a hex digit\n");
}

}  // namespace
