// tarvx-host.exe as the browser runs it: a child process with pipes. No simulated device
// is plugged in inside it (the simulator's devices belong to the process that made them),
// so it always reports that there is no reader and that it is not listening.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/bridge/FrameInbox.h"
#include "tests/bridge/HostProcess.h"

using BridgeTests::Frame;
using BridgeTests::FrameWithLength;
using BridgeTests::HostProcess;
using Frames = std::vector<std::string>;

namespace {

const std::string kHello =
    R"({"type":"hello","protocol":)" HOST_EXPECTED_PROTOCOL R"(,"version":")" HOST_EXPECTED_VERSION R"("})";
const std::string kNoReader = R"({"type":"reader","state":"no-reader"})";
const std::string kNotListening = R"({"type":"status","listening":false})";

class HostArguments : public ::testing::TestWithParam<const char*> {};

// The hello comes before the browser has said anything, and the end of the input ends
// the program quietly, whatever the browser put on the command line.
TEST_P(HostArguments, AreIgnored) {
  HostProcess host(GetParam());
  ASSERT_TRUE(host.Output().WaitForFrames(3));
  EXPECT_EQ(host.Output().Take(), (Frames{kHello, kNoReader, kNotListening}));
  host.CloseInput();
  EXPECT_EQ(host.WaitForExit(), 0u);
  EXPECT_EQ(host.ErrorText(), "");
  EXPECT_EQ(host.Output().Take(), Frames{});
  EXPECT_EQ(host.Output().PendingBytes(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Browsers, HostArguments,
                         ::testing::Values("", "chrome-extension://dbmpofebjddfgkppjlaecahjlgmnjlhg/ --parent-window=0",
                                           "\"C:\\Program Files\\Tarvo\\com.tarvo.usbicreader.json\" "
                                           "usbicreader@tarvo.example",
                                           "--help -x /?"));

struct InputCase {
  const char* name;
  std::string input;  // everything the browser sends, then its end of input
  unsigned long exitCode;
  const char* errorCode;  // the stable code in the one line on standard error; "" for no line
};

// A JSON object of exactly `size` bytes.
std::string ObjectOfSize(std::size_t size) {
  const std::string head = R"({"type":"hello","pad":")";
  return head + std::string(size - head.size() - 2, 'x') + "\"}";
}

class HostInput : public ::testing::TestWithParam<InputCase> {};

// Hostile or broken input ends the program with exit code 1 and one line on standard
// error; standard output carries the frames and nothing else, whatever came in.
TEST_P(HostInput, EndsTheProgramAsAgreed) {
  const InputCase& c = GetParam();
  HostProcess host("", static_cast<DWORD>(c.input.size() + 4096));
  host.WriteInput(c.input);
  host.CloseInput();
  EXPECT_EQ(host.WaitForExit(), c.exitCode);
  EXPECT_EQ(host.Output().Take(), (Frames{kHello, kNoReader, kNotListening}));
  EXPECT_EQ(host.Output().PendingBytes(), 0u);
  const std::string errors = host.ErrorText();
  if (*c.errorCode == '\0') {
    EXPECT_EQ(errors, "");
  } else {
    EXPECT_EQ(errors.rfind(std::string("tarvx-host: error ") + c.errorCode + ": ", 0), 0u) << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    EXPECT_EQ(errors.back(), '\n');
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostInput,
    ::testing::Values(
        InputCase{"OneOverTheCap", FrameWithLength(65537, ObjectOfSize(65537)), 1, "frame-too-long"},
        InputCase{"LengthAllOnes", FrameWithLength(0xFFFFFFFFu, ""), 1, "frame-too-long"},
        InputCase{"LengthZero", FrameWithLength(0, R"({"type":"hello"})"), 1, "empty-frame"},
        InputCase{"EndInsideTheLength", std::string("\x10\x00", 2), 1, "truncated-frame"},
        InputCase{"EndInsideTheBody", FrameWithLength(40, R"({"type":"hello"})"), 1, "truncated-frame"},
        InputCase{"NotJson", Frame("hello, host"), 1, "bad-message"},
        InputCase{"JsonArray", Frame(R"([{"type":"hello"}])"), 1, "bad-message"},
        InputCase{"GoodThenBad", Frame(R"({"type":"hello"})") + Frame(R"({"type":"hello",})"), 1, "bad-message"},
        InputCase{"ExactlyAtTheCap", Frame(ObjectOfSize(65536)), 0, ""},
        InputCase{"HelloAndUnknownTypes",
                  Frame(R"({"type":"hello"})") + Frame(R"({"type":"eject"})") + Frame(R"({"no":"type"})"), 0, ""},
        InputCase{"Nothing", "", 0, ""}),
    [](const ::testing::TestParamInfo<InputCase>& tested) { return std::string(tested.param.name); });

}  // namespace
