// tarvx-diag without arguments, against simulated HID devices.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tools/diag/Diagnostics.h"
#include "tools/simreader/SimReader.h"
#include "win32/Event.h"

namespace {

constexpr std::uint16_t kReaderVendor = 0x4154;
constexpr std::uint16_t kReaderProduct = 0x5652;

struct Outcome {
  int exitCode;
  std::string out;
};

Outcome List() {
  const kelmar::Win32::CManualResetEvent neverInterrupted(false);
  std::ostringstream out;
  std::ostringstream err;
  const int exitCode = RunDiagnostics({}, neverInterrupted.GetHandle(), out, err);
  EXPECT_EQ(err.str(), "");
  return Outcome{exitCode, out.str()};
}

TEST(DeviceListing, ListsEveryInterfaceInOrderAndMarksTheReader) {
  const simreader::Device keyboard(0x046D, 0xC31C, 8);
  const simreader::Device reader(kReaderVendor, kReaderProduct, 17);

  const Outcome outcome = List();
  EXPECT_EQ(outcome.exitCode, 0);
  EXPECT_EQ(outcome.out,
            "HID device interfaces present: 2\n"
            "  1. " +
                keyboard.Path() +
                "\n"
                "     vendor 0x046D, product 0xC31C, input report 8 bytes\n"
                "  2. " +
                reader.Path() +
                "\n"
                "     vendor 0x4154, product 0x5652, input report 17 bytes  <- card reader\n"
                "The card reader is present.\n");
}

TEST(DeviceListing, WithoutTheReaderSaysSoAndFails) {
  const simreader::Device sameVendor(kReaderVendor, 0x0001, 17);
  const simreader::Device sameProduct(0x0001, kReaderProduct, 17);

  const Outcome outcome = List();
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_NE(outcome.out.find("HID device interfaces present: 2\n"), std::string::npos) << outcome.out;
  EXPECT_EQ(outcome.out.find("<- card reader"), std::string::npos) << outcome.out;
  EXPECT_NE(outcome.out.find("No card reader (vendor 0x4154, product 0x5652) found."), std::string::npos)
      << outcome.out;
}

TEST(DeviceListing, NoDevicesAtAll) {
  const Outcome outcome = List();
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_EQ(outcome.out.find("HID device interfaces present: 0\n"), 0u) << outcome.out;
}

TEST(DeviceListing, OfTwoReadersTheSecondIsMarkedAsUnused) {
  const simreader::Device first(kReaderVendor, kReaderProduct, 17);
  const simreader::Device second(kReaderVendor, kReaderProduct, 17);

  const Outcome outcome = List();
  EXPECT_EQ(outcome.exitCode, 0);
  const std::size_t firstMark = outcome.out.find("17 bytes  <- card reader\n");
  const std::size_t secondMark = outcome.out.find("<- card reader (another one; the plug-in uses the first)");
  ASSERT_NE(firstMark, std::string::npos) << outcome.out;
  ASSERT_NE(secondMark, std::string::npos) << outcome.out;
  EXPECT_LT(outcome.out.find(first.Path()), firstMark);
  EXPECT_LT(firstMark, outcome.out.find(second.Path()));
  EXPECT_LT(outcome.out.find(second.Path()), secondMark);
}

// A device that answers only some questions is still listed, with what is missing named.
TEST(DeviceListing, WhatADeviceDoesNotAnswerIsShownAsNotReadable) {
  struct Case {
    unsigned faults;
    std::uint16_t reportLength;
    std::string line;     // the device's second line
    std::string warning;  // the line after it, empty for none
    int exitCode;
  };
  const Case cases[] = {
      {SIMREADER_FAULT_ATTRIBUTES, 17, "vendor and product id not readable, input report 17 bytes", "", 1},
      {SIMREADER_FAULT_CAPS, 17, "vendor 0x4154, product 0x5652, input report length not readable  <- card reader",
       "     warning: the plug-in cannot listen to a reader whose report length is unknown", 0},
      {SIMREADER_FAULT_PREPARSED_DATA, 17,
       "vendor 0x4154, product 0x5652, input report length not readable  <- card reader",
       "     warning: the plug-in cannot listen to a reader whose report length is unknown", 0},
      {0, 8, "vendor 0x4154, product 0x5652, input report 8 bytes  <- card reader",
       "     warning: card reports are 17 bytes; this device's reports give no card number", 0},
      {0, 2048, "vendor 0x4154, product 0x5652, input report 2048 bytes  <- card reader",
       "     warning: reports longer than 1028 bytes are not read by the plug-in", 0},
  };
  for (const Case& c : cases) {
    const simreader::Device reader(kReaderVendor, kReaderProduct, c.reportLength);
    reader.SetFaults(c.faults);
    const Outcome outcome = List();
    EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.out;
    const std::string expected =
        reader.Path() + "\n     " + c.line + "\n" + (c.warning.empty() ? "" : c.warning + "\n");
    EXPECT_NE(outcome.out.find(expected), std::string::npos) << "expected:\n" << expected << "\nin:\n" << outcome.out;
    if (c.warning.empty()) {
      EXPECT_EQ(outcome.out.find("warning"), std::string::npos) << outcome.out;
    }
  }
}

// An interface whose path cannot be read is skipped, as the plug-in skips it.
TEST(DeviceListing, AnInterfaceWithoutAReadablePathIsLeftOut) {
  const simreader::Device broken(0x0001, 0x0002, 8);
  broken.SetFaults(SIMREADER_FAULT_DETAIL_SIZE);
  const simreader::Device reader(kReaderVendor, kReaderProduct, 17);

  const Outcome outcome = List();
  EXPECT_EQ(outcome.exitCode, 0);
  EXPECT_NE(outcome.out.find("HID device interfaces present: 1\n  1. " + reader.Path()), std::string::npos)
      << outcome.out;
}

}  // namespace
