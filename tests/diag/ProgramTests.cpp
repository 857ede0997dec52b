// tarvx-diag.exe as a technician runs it: its own process, exit codes for scripts,
// reports on standard output and complaints on standard error.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/ProgramDirectory.h"

namespace {

ChildResult RunTool(const std::string& arguments) {
  return RunChild("\"" + TestSupport::PathNextToProgram("tarvx-diag.exe") + "\" " + arguments);
}

TEST(Program, ExitCodesAndStreams) {
  struct Case {
    std::string arguments;
    unsigned long exitCode;
    std::string outStart;  // empty: nothing on standard output
    std::string errStart;  // empty: nothing on standard error
  };
  const Case cases[] = {
      {"--decode 00 01 5A 5C 00 0D FF 0B 12 F4 80 55 3C A4 01 AA 03", 0,
       "17 bytes: 00 01 5A 5C 00 0D FF 0B 12 F4 80 55 3C A4 01 AA 03\n", ""},
      {"--decode \"00 02 5A 5C 00 0D FF 0B 12 F4 80 55 3C A4 01 AA 03\"", 1, "17 bytes: 00 02", ""},
      {"--decode 0x0G", 2, "", "tarvx-diag: --decode: 'G' at position 4 is not a hex digit\n"},
      {"--help", 0, "Usage: tarvx-diag", ""},
      {"--listen --count 0", 2, "", "tarvx-diag: --count needs a whole number"},
      {"--frobnicate", 2, "", "tarvx-diag: unknown argument: --frobnicate\nTry tarvx-diag --help.\n"},
      // The program's own simulated reader has no devices plugged in.
      {"", 1, "HID device interfaces present: 0\n", ""},
      {"--listen", 1, "No card reader found", ""},
  };
  for (const Case& c : cases) {
    const ChildResult result = RunTool(c.arguments);
    EXPECT_EQ(result.exitCode, c.exitCode) << c.arguments << "\n" << result.out << result.err;
    EXPECT_EQ(result.out.substr(0, c.outStart.size()), c.outStart) << c.arguments;
    EXPECT_EQ(result.out.empty(), c.outStart.empty()) << c.arguments << "\n" << result.out;
    EXPECT_EQ(result.err.substr(0, c.errStart.size()), c.errStart) << c.arguments;
    EXPECT_EQ(result.err.empty(), c.errStart.empty()) << c.arguments << "\n" << result.err;
  }
}

// A technician tells releases apart by the file's properties.
TEST(Program, CarriesTheProjectsVersion) {
  const std::string path = TestSupport::PathNextToProgram("tarvx-diag.exe");
  DWORD ignored = 0;
  std::vector<char> data(GetFileVersionInfoSizeA(path.c_str(), &ignored));
  ASSERT_FALSE(data.empty());
  ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()));
  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\StringFileInfo\\040904e4\\FileVersion", &value, &length));
  EXPECT_STREQ(static_cast<const char*>(value), DIAG_EXPECTED_VERSION);
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\", &value, &length));
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  const std::string fixedVersion =
      std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
      std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionLS));
  EXPECT_EQ(fixedVersion, DIAG_EXPECTED_VERSION);
}

}  // namespace
