// The shipped DLL's opt-in trace, read as a debug-output viewer reads it: off unless the
// environment or the registry switches it on, then one line per reader event.
#include "tests/e2e/EndToEndFixture.h"

#include <optional>

#include "reader/ReaderTrace.h"
#include "tests/support/DebugOutputCapture.h"
#include "tests/support/TraceSwitch.h"

using TestSupport::DebugOutputCapture;
using TestSupport::TraceLines;
using TestSupport::TraceSwitch;

namespace {

const std::vector<std::uint8_t> kBrokenCheckValue = {0x00, 0x01, 0x5A, 0x5C, 0x00, 0x0D, 0xFF, 0x0B, 0x12,
                                                     0xF4, 0x80, 0x55, 0x3C, 0xA4, 0x01, 0xAB, 0x03};

using TraceTest = EndToEndTest;

TEST_F(TraceTest, OneLinePerReaderEventWhenTheVariableSwitchesItOn) {
  const DebugOutputCapture capture;
  const TraceSwitch on(std::string("1"), HKEY_CURRENT_USER, std::nullopt);
  StartBrowser();
  nphost::HostedInstance& instance = Embed();
  simreader::Device reader = PlugInReader();
  reader.SendReport(kBrokenCheckValue);
  reader.PresentCard(4711);
  ASSERT_TRUE(WaitForScripts(2));
  nphost::PullOut(*browser, reader);
  ASSERT_EQ(instance.Destroy(), NPERR_NO_ERROR);
  ASSERT_TRUE(capture.Flush());

  const std::string path = reader.Path();
  const std::vector<std::string> lines = TraceLines(capture);
  const std::vector<std::string> expected = {
      "no reader found",
      "device arrival: " + path,
      "reader found at " + path,
      "reader opened at " + path + ": 17-byte reports",
      "report of 17 bytes rejected: check value mismatch",
      "card 4711 delivered",
  };
  ASSERT_GE(lines.size(), expected.size() + 2) << ::testing::PrintToString(lines);
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(expected.size())),
            expected);
  // The unplug ends the read, and the removal notice stops the thread: either may come first.
  const std::vector<std::string> rest(lines.begin() + static_cast<std::ptrdiff_t>(expected.size()), lines.end());
  EXPECT_NE(std::find(rest.begin(), rest.end(), "device removal: " + path + " (the reader)"), rest.end())
      << ::testing::PrintToString(rest);
  EXPECT_NE(
      std::find_if(rest.begin(), rest.end(),
                   [&](const std::string& line) { return line.rfind("listening to " + path + " ended: ", 0) == 0; }),
      rest.end())
      << ::testing::PrintToString(rest);
}

TEST_F(TraceTest, OnlyTheSwitchesTurnItOn) {
  struct Case {
    const char* name;
    std::optional<std::string> variable;
    HKEY root;
    std::optional<DWORD> value;
    bool traced;
  };
  const Case cases[] = {
      {"nothing set", std::nullopt, HKEY_CURRENT_USER, std::nullopt, false},
      {"variable 0", std::string("0"), HKEY_CURRENT_USER, std::nullopt, false},
      {"variable 1", std::string("1"), HKEY_CURRENT_USER, std::nullopt, true},
      {"user's value 0", std::nullopt, HKEY_CURRENT_USER, DWORD{0}, false},
      {"user's value 1", std::nullopt, HKEY_CURRENT_USER, DWORD{1}, true},
      {"machine's value 1", std::nullopt, HKEY_LOCAL_MACHINE, DWORD{1}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const DebugOutputCapture capture;
    {
      const TraceSwitch setting(c.variable, c.root, c.value);
      StartBrowser();
      nphost::HostedInstance& instance = Embed();
      simreader::Device reader = PlugInReader();
      reader.SendReport(kBrokenCheckValue);
      reader.PresentCard(5);
      ASSERT_TRUE(WaitForScripts(2));
      ASSERT_EQ(instance.Destroy(), NPERR_NO_ERROR);
    }
    ASSERT_TRUE(capture.Flush());
    const std::vector<std::string> lines = TraceLines(capture);
    if (c.traced) {
      EXPECT_NE(std::find(lines.begin(), lines.end(), "card 5 delivered"), lines.end())
          << ::testing::PrintToString(lines);
    } else {
      EXPECT_TRUE(lines.empty()) << ::testing::PrintToString(lines);
      // Nothing at all, not only no lines of ours: the capture saw only its own marker.
      EXPECT_EQ(capture.LinesOf(GetCurrentProcessId()).size(), 1u);
    }
  }
}

}  // namespace
