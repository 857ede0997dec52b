// tarvx-host.exe's reader trace, read from outside as a debug-output viewer reads it:
// the same switches as the plug-in's, inherited by the host from its environment or read
// from the registry.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/bridge/HostProcess.h"
#include "tests/support/DebugOutputCapture.h"
#include "tests/support/TraceSwitch.h"

using BridgeTests::HostProcess;
using TestSupport::DebugOutputCapture;
using TestSupport::TraceLines;
using TestSupport::TraceSwitch;

namespace {

TEST(HostTrace, OnlyTheSwitchesTurnItOn) {
  struct Case {
    const char* name;
    std::optional<std::string> variable;
    std::optional<DWORD> value;
    bool traced;
  };
  const Case cases[] = {
      {"nothing set", std::nullopt, std::nullopt, false},
      {"variable 1", std::string("1"), std::nullopt, true},
      {"user's value 1", std::nullopt, DWORD{1}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const DebugOutputCapture capture;
    const TraceSwitch setting(c.variable, HKEY_CURRENT_USER, c.value);
    HostProcess host("");
    // The hello, then the reader's state and the status after looking for the reader.
    ASSERT_TRUE(host.Output().WaitForFrames(3));
    host.CloseInput();
    EXPECT_EQ(host.WaitForExit(), 0u);
    ASSERT_TRUE(capture.Flush());
    // No device is plugged in for the host's process: it finds no reader.
    const std::vector<std::string> expected =
        c.traced ? std::vector<std::string>{"no reader found"} : std::vector<std::string>{};
    EXPECT_EQ(TraceLines(capture, host.ProcessId()), expected);
    if (!c.traced) {
      EXPECT_TRUE(capture.LinesOf(host.ProcessId()).empty());
    }
  }
}

}  // namespace
