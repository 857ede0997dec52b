// The host's session in-process, on a thread of its own with pipes for its input and
// output, next to the simulated reader; device notifications are sent to its window as
// the system would. Frames are compared byte for byte with docs/BRIDGE.md.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bridge/DeviceWindow.h"
#include "bridge/ExitCodes.h"
#include "bridge/HostSession.h"
#include "reader/UsbICReaderManager.h"
#include "tests/bridge/FrameInbox.h"
#include "tools/card_encoder/CardReportEncoder.h"
#include "tools/host/DeviceNotifications.h"
#include "tools/simreader/SimReader.h"
#include "win32/UniqueResource.h"

using BridgeTests::Frame;
using BridgeTests::FrameInbox;
using BridgeTests::kGenerous;
using kelmar::Win32::UniqueHandle;
using Frames = std::vector<std::string>;

namespace {

const std::string kHello =
    R"({"type":"hello","protocol":)" HOST_EXPECTED_PROTOCOL R"(,"version":")" HOST_EXPECTED_VERSION R"("})";
const std::string kReaderListening = R"({"type":"reader","state":"listening"})";
const std::string kNoReader = R"({"type":"reader","state":"no-reader"})";
const std::string kCannotOpen = R"({"type":"reader","state":"cannot-open"})";
const std::string kEnded = R"({"type":"reader","state":"ended"})";
const std::string kListening = R"({"type":"status","listening":true})";
const std::string kNotListening = R"({"type":"status","listening":false})";
const std::string kArrival = R"({"type":"device","change":1})";
const std::string kRemoval = R"({"type":"device","change":0})";

std::string Card(std::uint32_t number) { return R"({"type":"card","number":)" + std::to_string(number) + "}"; }

struct Pipe {
  UniqueHandle read;
  UniqueHandle write;
};

Pipe MakePipe() {
  HANDLE read = nullptr;
  HANDLE write = nullptr;
  // Room for every frame a test causes, so that the session never waits for the test.
  if (!CreatePipe(&read, &write, nullptr, 1 << 20)) throw std::runtime_error("CreatePipe failed");
  return Pipe{UniqueHandle(read), UniqueHandle(write)};
}

// A session as tarvx-host runs one, on a thread, with the test as the browser.
class HostSessionTest : public ::testing::Test {
 protected:
  HostSessionTest()
      : input(MakePipe()),
        output(MakePipe()),
        stop(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
        inbox(output.read.Get()) {}

  ~HostSessionTest() override {
    if (session.joinable()) {
      SetEvent(stop.Get());
      session.join();
    }
    // The session's input thread ends with its input.
    input.write.Reset();
  }

  // Starts the session and takes its first three frames (the hello, the reader's state
  // and the status).
  Frames Start() {
    session = std::thread([this] {
      sessionThreadId = GetCurrentThreadId();
      exitCode = RunHostSession(input.read.Get(), output.write.Get(), stop.Get(), errors);
      ended = true;
    });
    if (!inbox.WaitForFrames(3)) return inbox.Take();
    window = FindSessionWindow();
    return inbox.Take();
  }

  // Starts the session with a reader that refuses to be listened to, and takes every frame
  // up to the status that says the host is not listening. The listen thread may be seen
  // running for a moment before the refusal ends it: the browser then hears of listening
  // first and of its end right after.
  Frames StartRefused() {
    Frames frames = Start();
    while (!frames.empty() && frames.back() != kNotListening && inbox.WaitForFrames(1)) {
      for (std::string& frame : inbox.Take()) frames.push_back(std::move(frame));
    }
    return frames;
  }

  // The session's window, by its class as another process would find it; a host running
  // in another process at the same time may have one too.
  HWND FindSessionWindow() const {
    HWND found = nullptr;
    while ((found = FindWindowExA(HWND_MESSAGE, found, kDeviceWindowClass, nullptr)) != nullptr) {
      if (GetWindowThreadProcessId(found, nullptr) == sessionThreadId.load()) return found;
    }
    return nullptr;
  }

  // Sends a notice the way the system does, and takes the frames it caused: the window
  // writes them before the notice returns.
  Frames Notify(WPARAM event, const std::string& path) {
    nphost::SendDeviceInterfaceChange(window, event, path);
    return inbox.Take();
  }

  // Waits for the session to end; false when it does not within `timeout`.
  bool SessionEnds(DWORD timeout = kGenerous) {
    const DWORD start = GetTickCount();
    while (!ended.load()) {
      if (GetTickCount() - start >= timeout) return false;
      Sleep(1);
    }
    session.join();
    return true;
  }

  void Send(const std::string& bytes) {
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(input.write.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    ASSERT_EQ(written, bytes.size());
  }

  Pipe input;
  Pipe output;
  UniqueHandle stop;
  FrameInbox inbox;
  std::thread session;
  std::ostringstream errors;
  int exitCode = -1;  // read only once `ended` is true
  std::atomic<bool> ended{false};
  std::atomic<DWORD> sessionThreadId{0};
  HWND window = nullptr;
};

TEST_F(HostSessionTest, WithTheReaderPluggedInCardsArriveAsExactFrames) {
  simreader::Device reader(kReaderVendorId, kReaderProductId, 17);
  ASSERT_EQ(Start(), (Frames{kHello, kReaderListening, kListening}));
  ASSERT_TRUE(reader.WaitForOpenHandles(1));

  struct Case {
    std::uint32_t number;
    std::uint8_t shift;
  };
  const Case cards[] = {{2587647617u, 3}, {0, 0}, {4294967295u, 7}};
  for (const Case& card : cards) {
    SCOPED_TRACE(card.number);
    reader.PresentCard(card.number, card.shift);
    ASSERT_TRUE(inbox.WaitForFrames(1));
    EXPECT_EQ(inbox.Take(), Frames{Card(card.number)});
  }

  // A report whose check value is broken gives nothing: the next frame is the next card's.
  CardRecord broken = MakeCardRecord(5555);
  broken[5] ^= 0x01;
  const CardReportBytes report = EncodeCardReport(broken, 3, 1);
  reader.SendReport(std::vector<std::uint8_t>(report.begin(), report.end()));
  reader.PresentCard(6666);
  ASSERT_TRUE(inbox.WaitForFrames(1));
  EXPECT_EQ(inbox.Take(), Frames{Card(6666)});
  EXPECT_EQ(inbox.PendingBytes(), 0u);
}

TEST_F(HostSessionTest, EveryCardOfABurstArrivesOnceAndInOrder) {
  simreader::Device reader(kReaderVendorId, kReaderProductId, 17);
  ASSERT_EQ(Start(), (Frames{kHello, kReaderListening, kListening}));
  ASSERT_TRUE(reader.WaitForOpenHandles(1));
  Frames expected;
  for (std::uint32_t card = 1; card <= 500; ++card) {
    reader.PresentCard(card * 7919u, static_cast<std::uint8_t>(card % 8));
    expected.push_back(Card(card * 7919u));
  }
  ASSERT_TRUE(inbox.WaitForFrames(expected.size()));
  EXPECT_EQ(inbox.Take(), expected);
}

TEST_F(HostSessionTest, PluggingAndUnpluggingGiveDeviceAndReaderAndStatusOnlyWhenListeningChanges) {
  ASSERT_EQ(Start(), (Frames{kHello, kNoReader, kNotListening}));
  ASSERT_NE(window, nullptr);

  simreader::Device reader(kReaderVendorId, kReaderProductId, 17);
  EXPECT_EQ(Notify(DBT_DEVICEARRIVAL, reader.Path()), (Frames{kArrival, kReaderListening, kListening}));
  ASSERT_TRUE(reader.WaitForOpenHandles(1));

  // Another HID device comes and goes while the reader is listened to.
  simreader::Device keyboard(0x046D, 0xC31C, 9);
  EXPECT_EQ(Notify(DBT_DEVICEARRIVAL, keyboard.Path()), Frames{kArrival});
  keyboard.Unplug();
  EXPECT_EQ(Notify(DBT_DEVICEREMOVECOMPLETE, keyboard.Path()), Frames{kRemoval});
  EXPECT_EQ(reader.OpenHandleCount(), 1);

  // The reader's own removal, named in other letter case, stops listening. The simulated
  // reader stays plugged in: listening ended, and a reader is still there.
  std::string shouted = reader.Path();
  for (char& c : shouted) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(Notify(DBT_DEVICEREMOVECOMPLETE, shouted), (Frames{kRemoval, kEnded, kNotListening}));
  EXPECT_EQ(reader.OpenHandleCount(), 0);

  // Events that are not interface arrivals or removals give nothing.
  nphost::SendDeviceChange(window, DBT_DEVNODES_CHANGED, 0);
  nphost::SendDeviceChange(window, DBT_DEVICEARRIVAL, DBT_DEVTYP_VOLUME);
  EXPECT_EQ(Notify(DBT_DEVICEQUERYREMOVE, reader.Path()), Frames{});

  // Back again: listening resumes and cards come.
  EXPECT_EQ(Notify(DBT_DEVICEARRIVAL, reader.Path()), (Frames{kArrival, kReaderListening, kListening}));
  ASSERT_TRUE(reader.WaitForOpenHandles(1));
  reader.PresentCard(77);
  ASSERT_TRUE(inbox.WaitForFrames(1));
  EXPECT_EQ(inbox.Take(), Frames{Card(77)});
}

TEST_F(HostSessionTest, UnpluggingDuringAReadSaysSoAtOnceAndTheNoticeAfterwardsOnlyTellsTheDevice) {
  simreader::Device reader(kReaderVendorId, kReaderProductId, 17);
  ASSERT_EQ(Start(), (Frames{kHello, kReaderListening, kListening}));
  ASSERT_TRUE(reader.WaitForOpenHandles(1));  // a read is pending on it

  reader.Unplug();
  ASSERT_TRUE(inbox.WaitForFrames(2));
  EXPECT_EQ(inbox.Take(), (Frames{kNoReader, kNotListening}));
  EXPECT_EQ(Notify(DBT_DEVICEREMOVECOMPLETE, reader.Path()), Frames{kRemoval});

  input.write.Reset();
  ASSERT_TRUE(SessionEnds());
  EXPECT_EQ(exitCode, kHostExitOk);
}

// Whether a start with a reader that refuses gave the hello and `refusal`, at once or
// after a moment of listening.
bool IsRefusedStart(const Frames& frames, const Frames& refusal) {
  Frames atOnce{kHello};
  atOnce.insert(atOnce.end(), refusal.begin(), refusal.end());
  Frames afterAMoment{kHello, kReaderListening, kListening};
  afterAMoment.insert(afterAMoment.end(), refusal.begin(), refusal.end());
  return frames == atOnce || frames == afterAMoment;
}

TEST_F(HostSessionTest, AReaderThatCannotBeOpenedForListeningIsReportedNotListening) {
  simreader::Device reader(kReaderVendorId, kReaderProductId, 17);
  reader.FailNextListeningOpen();
  const Frames first = StartRefused();
  EXPECT_TRUE(IsRefusedStart(first, {kCannotOpen, kNotListening})) << ::testing::PrintToString(first);
  // The next arrival tries again, and this time the reader lets itself be opened.
  EXPECT_EQ(Notify(DBT_DEVICEARRIVAL, reader.Path()), (Frames{kArrival, kReaderListening, kListening}));
}

// What is plugged in when the session starts.
enum class Plugged {
  Nothing,
  Openable,
  OpenRefused,             // the open for listening fails
  CapabilitiesUnreadable,  // opened, but its report length cannot be read
  ReportsOfZeroBytes,
  ReportsTooLong,  // longer than the listen thread's receive buffer
};

// What happens to that reader after the start.
enum class Then {
  Nothing,
  Unplug,      // the plug is pulled, then the system's removal notice comes
  NoticeOnly,  // a removal notice names the reader, which stays plugged in
};

struct ReaderStateCase {
  const char* name;
  Plugged plugged;
  Frames atStart;  // after the hello
  Then then;
  Frames whenPulled;  // as the plug is pulled, before any notice
  Frames onNotice;
};

std::optional<simreader::Device> Plug(Plugged plugged) {
  switch (plugged) {
    case Plugged::Nothing:
      return std::nullopt;
    case Plugged::Openable:
    case Plugged::OpenRefused:
    case Plugged::CapabilitiesUnreadable:
      break;
    case Plugged::ReportsOfZeroBytes:
      return simreader::Device(kReaderVendorId, kReaderProductId, 0);
    case Plugged::ReportsTooLong:
      return simreader::Device(kReaderVendorId, kReaderProductId, 2000);
  }
  simreader::Device reader(kReaderVendorId, kReaderProductId, 17);
  if (plugged == Plugged::OpenRefused) reader.FailNextListeningOpen();
  if (plugged == Plugged::CapabilitiesUnreadable) reader.SetFaults(SIMREADER_FAULT_CAPS);
  return reader;
}

bool Refuses(Plugged plugged) { return plugged != Plugged::Nothing && plugged != Plugged::Openable; }

class ReaderState : public HostSessionTest, public ::testing::WithParamInterface<ReaderStateCase> {};

// The browser hears why the host is not listening, right before it hears that it is not,
// and again whenever the why changes on its own; never the same state twice in a row.
TEST_P(ReaderState, IsSentBeforeEachStatusAndWhenItChanges) {
  const ReaderStateCase& c = GetParam();
  std::optional<simreader::Device> reader = Plug(c.plugged);
  if (Refuses(c.plugged)) {
    const Frames first = StartRefused();
    ASSERT_TRUE(IsRefusedStart(first, c.atStart)) << ::testing::PrintToString(first);
  } else {
    Frames expected{kHello};
    expected.insert(expected.end(), c.atStart.begin(), c.atStart.end());
    ASSERT_EQ(Start(), expected);
  }
  ASSERT_NE(window, nullptr);
  if (c.then == Then::Nothing) return;

  ASSERT_TRUE(reader.has_value());
  if (c.then == Then::Unplug) {
    reader->Unplug();
    if (!c.whenPulled.empty()) {
      ASSERT_TRUE(inbox.WaitForFrames(c.whenPulled.size()));
    }
    EXPECT_EQ(inbox.Take(), c.whenPulled);
  }
  // A frame the pulled plug caused late would come first here.
  EXPECT_EQ(Notify(DBT_DEVICEREMOVECOMPLETE, reader->Path()), c.onNotice);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReaderState,
    ::testing::Values(
        ReaderStateCase{"NoReader", Plugged::Nothing, {kNoReader, kNotListening}, Then::Nothing, {}, {}},
        ReaderStateCase{"Openable", Plugged::Openable, {kReaderListening, kListening}, Then::Nothing, {}, {}},
        ReaderStateCase{"OpenRefused", Plugged::OpenRefused, {kCannotOpen, kNotListening}, Then::Nothing, {}, {}},
        ReaderStateCase{"CapabilitiesUnreadable",
                        Plugged::CapabilitiesUnreadable,
                        {kCannotOpen, kNotListening},
                        Then::Nothing,
                        {},
                        {}},
        ReaderStateCase{
            "ReportsOfZeroBytes", Plugged::ReportsOfZeroBytes, {kCannotOpen, kNotListening}, Then::Nothing, {}, {}},
        ReaderStateCase{"ReportsTooLong", Plugged::ReportsTooLong, {kCannotOpen, kNotListening}, Then::Nothing, {}, {}},
        // The pending read fails once the reader has left the enumeration: no reader, at
        // once; the notice afterwards only tells of the device.
        ReaderStateCase{"ListeningThenUnplugged",
                        Plugged::Openable,
                        {kReaderListening, kListening},
                        Then::Unplug,
                        {kNoReader, kNotListening},
                        {kRemoval}},
        // Nothing runs to notice the pull: the notice tells, and the status, false already,
        // is not repeated.
        ReaderStateCase{"CannotOpenThenUnplugged",
                        Plugged::ReportsTooLong,
                        {kCannotOpen, kNotListening},
                        Then::Unplug,
                        {},
                        {kRemoval, kNoReader}},
        ReaderStateCase{"NoticeWhileListeningAndStillPlugged",
                        Plugged::Openable,
                        {kReaderListening, kListening},
                        Then::NoticeOnly,
                        {},
                        {kRemoval, kEnded, kNotListening}}),
    [](const ::testing::TestParamInfo<ReaderStateCase>& tested) { return std::string(tested.param.name); });

struct Ending {
  const char* name;
  std::string input;  // what the browser sends before its end of input
  int exitCode;
  const char* errorLine;  // the start of the one line on standard error, or "" for none
};

class SessionEnding : public HostSessionTest, public ::testing::WithParamInterface<Ending> {};

// However the input ends, the session ends at once with the reader closed.
TEST_P(SessionEnding, EndsWithinASecondWithTheReaderClosed) {
  simreader::Device reader(kReaderVendorId, kReaderProductId, 17);
  ASSERT_EQ(Start(), (Frames{kHello, kReaderListening, kListening}));
  ASSERT_TRUE(reader.WaitForOpenHandles(1));

  const DWORD start = GetTickCount();
  if (!GetParam().input.empty()) Send(GetParam().input);
  input.write.Reset();
  ASSERT_TRUE(SessionEnds());
  const DWORD elapsed = GetTickCount() - start;

  EXPECT_LT(elapsed, 1000u);
  EXPECT_EQ(exitCode, GetParam().exitCode);
  EXPECT_EQ(reader.OpenHandleCount(), 0);
  const std::string text = errors.str();
  if (*GetParam().errorLine == '\0') {
    EXPECT_EQ(text, "");
  } else {
    EXPECT_EQ(text.rfind(GetParam().errorLine, 0), 0u) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
  }
  // Nothing more was written: the browser's messages get no answer.
  EXPECT_EQ(inbox.Take(), Frames{});
  EXPECT_EQ(inbox.PendingBytes(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, SessionEnding,
    ::testing::Values(Ending{"Nothing", "", kHostExitOk, ""},
                      Ending{"HelloAndAnUnknownType", Frame(R"({"type":"hello"})") + Frame(R"({"type":"x","y":[1]})"),
                             kHostExitOk, ""},
                      Ending{"NotJson", Frame("hello"), kHostExitFailed, "tarvx-host: error bad-message: "},
                      Ending{"InsideAFrame", Frame(R"({"type":"hello"})").substr(0, 9), kHostExitFailed,
                             "tarvx-host: error truncated-frame: "}),
    [](const ::testing::TestParamInfo<Ending>& tested) { return std::string(tested.param.name); });

TEST_F(HostSessionTest, AStopRequestEndsTheSessionWithTheReaderClosed) {
  simreader::Device reader(kReaderVendorId, kReaderProductId, 17);
  ASSERT_EQ(Start(), (Frames{kHello, kReaderListening, kListening}));
  ASSERT_TRUE(reader.WaitForOpenHandles(1));
  SetEvent(stop.Get());
  ASSERT_TRUE(SessionEnds(1000));
  EXPECT_EQ(exitCode, kHostExitOk);
  EXPECT_EQ(reader.OpenHandleCount(), 0);
  EXPECT_EQ(errors.str(), "");
}

TEST_F(HostSessionTest, TheBrowserClosingItsEndOfTheOutputEndsTheSessionQuietly) {
  simreader::Device reader(kReaderVendorId, kReaderProductId, 17);
  ASSERT_EQ(Start(), (Frames{kHello, kReaderListening, kListening}));
  ASSERT_TRUE(reader.WaitForOpenHandles(1));
  output.read.Reset();
  reader.PresentCard(1);  // its frame finds no reader
  ASSERT_TRUE(SessionEnds());
  EXPECT_EQ(exitCode, kHostExitOk);
  EXPECT_EQ(reader.OpenHandleCount(), 0);
  EXPECT_EQ(errors.str(), "");
}

}  // namespace
