// What tarvx-diag makes of its command line and of hex text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/diag/CommandLine.h"
#include "tools/diag/HexBytes.h"

namespace {

using Arguments = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

TEST(CommandLine, AcceptedCommandLines) {
  struct Case {
    Arguments arguments;
    DiagCommand command;
    std::uint32_t count;
    std::uint32_t seconds;
    std::string hexText;
  };
  const Case cases[] = {
      {{}, DiagCommand::List, 0, 0, ""},
      {{"--list"}, DiagCommand::List, 0, 0, ""},
      {{"--help"}, DiagCommand::Help, 0, 0, ""},
      {{"-h"}, DiagCommand::Help, 0, 0, ""},
      {{"/?"}, DiagCommand::Help, 0, 0, ""},
      {{"--listen"}, DiagCommand::Listen, 0, 0, ""},
      {{"--listen", "--count", "3"}, DiagCommand::Listen, 3, 0, ""},
      {{"--listen", "--seconds", "86400", "--count", "1000000"}, DiagCommand::Listen, 1000000, 86400, ""},
      // Typed without quotes, a report arrives as many arguments; they read as one text.
      {{"--decode", "00", "01", "5A"}, DiagCommand::Decode, 0, 0, "00 01 5A"},
      {{"--decode", "00015A"}, DiagCommand::Decode, 0, 0, "00015A"},
  };
  for (const Case& c : cases) {
    const ParsedCommandLine parsed = ParseCommandLine(c.arguments);
    ASSERT_TRUE(parsed.options) << testing::PrintToString(c.arguments) << ": " << parsed.error;
    EXPECT_EQ(parsed.options->command, c.command) << testing::PrintToString(c.arguments);
    EXPECT_EQ(parsed.options->reportCount, c.count) << testing::PrintToString(c.arguments);
    EXPECT_EQ(parsed.options->seconds, c.seconds) << testing::PrintToString(c.arguments);
    EXPECT_EQ(parsed.options->hexText, c.hexText) << testing::PrintToString(c.arguments);
  }
}

TEST(CommandLine, RegistrationChecksRunAloneOrTogether) {
  struct Case {
    Arguments arguments;
    bool bridge;
    bool plugin;
  };
  const Case cases[] = {
      {{"--bridge"}, true, false},
      {{"--plugin"}, false, true},
      {{"--bridge", "--plugin"}, true, true},
      {{"--plugin", "--bridge"}, true, true},
  };
  for (const Case& c : cases) {
    const ParsedCommandLine parsed = ParseCommandLine(c.arguments);
    ASSERT_TRUE(parsed.options) << testing::PrintToString(c.arguments) << ": " << parsed.error;
    EXPECT_EQ(parsed.options->command, DiagCommand::Check) << testing::PrintToString(c.arguments);
    EXPECT_EQ(parsed.options->checkBridge, c.bridge) << testing::PrintToString(c.arguments);
    EXPECT_EQ(parsed.options->checkPlugin, c.plugin) << testing::PrintToString(c.arguments);
  }
}

TEST(CommandLine, RefusedCommandLinesSayWhy) {
  struct Case {
    Arguments arguments;
    std::string errorMentions;
  };
  const Case cases[] = {
      {{"--bogus"}, "--bogus"},
      {{"--count", "3"}, "--count"},  // only with --listen
      {{"--list", "extra"}, "--list"},
      {{"--help", "extra"}, "--help"},
      {{"--bridge", "--verbose"}, "--verbose"},
      {{"--plugin", "--count", "3"}, "--count"},
      {{"--plugin", "--bridge", "--plugin"}, "--plugin is given twice"},
      {{"--list", "--plugin"}, "--list"},  // the checks come first or not at all
      {{"--decode"}, "hex"},
      {{"--listen", "--verbose"}, "--verbose"},
      {{"--listen", "--count"}, "needs a number"},
      {{"--listen", "--count", "0"}, "'0'"},
      {{"--listen", "--count", "-1"}, "'-1'"},
      {{"--listen", "--count", "2x"}, "'2x'"},
      {{"--listen", "--count", "1000001"}, "'1000001'"},
      {{"--listen", "--count", "99999999999"}, "'99999999999'"},  // beyond 32 bits
      {{"--listen", "--seconds", "86401"}, "'86401'"},
      {{"--listen", "--seconds", ""}, "''"},
  };
  for (const Case& c : cases) {
    const ParsedCommandLine parsed = ParseCommandLine(c.arguments);
    EXPECT_FALSE(parsed.options) << testing::PrintToString(c.arguments);
    EXPECT_NE(parsed.error.find(c.errorMentions), std::string::npos)
        << testing::PrintToString(c.arguments) << " gave: " << parsed.error;
  }
}

TEST(HexBytes, TheUsualWaysOfWritingBytesReadAlike) {
  struct Case {
    std::string text;
    Bytes bytes;
  };
  const Case cases[] = {
      {"00 01 5A", {0x00, 0x01, 0x5A}},
      {"00015a", {0x00, 0x01, 0x5A}},
      {"00:01:5A", {0x00, 0x01, 0x5A}},
      {"0x00,0x01,0X5a", {0x00, 0x01, 0x5A}},
      {"  00-01\t5A  ", {0x00, 0x01, 0x5A}},
      {"0 1 5a", {0x00, 0x01, 0x5A}},  // a single digit is a whole byte
      {"0x5", {0x05}},
      {"FF", {0xFF}},
      {"0", {0x00}},
  };
  for (const Case& c : cases) {
    const ParsedHex parsed = ParseHexBytes(c.text);
    ASSERT_TRUE(parsed.bytes) << "'" << c.text << "': " << parsed.error;
    EXPECT_EQ(*parsed.bytes, c.bytes) << "'" << c.text << "'";
  }
}

TEST(HexBytes, WhatIsNotHexIsRefusedWithTheReason) {
  struct Case {
    std::string text;
    std::string errorMentions;
  };
  const Case cases[] = {
      {"", "no hex bytes"},
      {" , ", "no hex bytes"},
      {"0G", "'G' at position 2"},
      {"00 01 5Z", "'Z' at position 8"},
      {"ABC", "'ABC' has an odd number"},  // which byte would the lone digit be?
      {"0x", "'0x' has no hex digits"},
      {"0x0x12", "'x' at position 4"},
  };
  for (const Case& c : cases) {
    const ParsedHex parsed = ParseHexBytes(c.text);
    EXPECT_FALSE(parsed.bytes) << "'" << c.text << "'";
    EXPECT_NE(parsed.error.find(c.errorMentions), std::string::npos) << "'" << c.text << "' gave: " << parsed.error;
  }
}

TEST(HexBytes, FormatsTwoUpperCaseDigitsPerByte) {
  const Bytes bytes = {0x00, 0xAB, 0x0F, 0xF0};
  EXPECT_EQ(FormatHexBytes(bytes.data(), bytes.size()), "00 AB 0F F0");
  EXPECT_EQ(FormatHexBytes(bytes.data(), 0), "");
}

}  // namespace
