// The listen thread against simulated devices: reports handed over unchanged, the ways a
// run ends, and stops that are never lost.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "reader/HidListenThread.h"
#include "tests/reader/ReaderTestSupport.h"
#include "tests/support/ImportHook.h"
#include "tools/simreader/SimReader.h"
#include "win32/Exceptions.h"

using kelmar::Win32::CExceptionEx;
using ReaderTests::Bytes;
using ReaderTests::kGenerous;
using ReaderTests::RecordingReceiver;

namespace {

constexpr std::uint16_t kVendor = 0x4154;
constexpr std::uint16_t kProduct = 0x5652;

// Lets a test call the thread body itself and see how it ends.
class ListenThread : public CHIDListenThread {
 public:
  using CHIDListenThread::Run;
};

// How one direct run of the body ended.
struct RunOutcome {
  std::optional<DWORD> result;  // set when Run returned
  std::string origin;           // set when it threw
};

// Runs the body on a thread of its own while `act` runs on this one, then waits for it.
RunOutcome RunWhile(ListenThread& thread, const std::function<void()>& act) {
  RunOutcome outcome;
  std::thread body([&] {
    try {
      outcome.result = thread.Run();
    } catch (const CExceptionEx& error) {
      outcome.origin = error.GetOrigin();
    }
  });
  act();
  body.join();
  return outcome;
}

TEST(HidListenThread, ReportsReachTheReceiverExactlyAsRead) {
  struct Case {
    std::uint16_t inputReportLength;
    Bytes report;
  };
  Bytes numbered(1028);
  for (std::size_t i = 0; i < numbered.size(); ++i) numbered[i] = static_cast<std::uint8_t>(i * 7);
  const Case cases[] = {
      {17, Bytes{0x00, 0x01, 0x5A, 0x5C, 0x00, 0x0D, 0xFF, 0x0B, 0x12, 0xF4, 0x80, 0x55, 0x3C, 0xA4, 0x01, 0xAA, 0x03}},
      {17, Bytes{}},      // as a read after an unplug: 0 bytes
      {17, Bytes{0x02}},  // shorter than the device's reports
      {1028, numbered},   // the longest report the buffer takes
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("device report length " + std::to_string(c.inputReportLength) + ", report of " +
                 std::to_string(c.report.size()));
    simreader::Device device(kVendor, kProduct, c.inputReportLength);
    RecordingReceiver receiver;
    CHIDListenThread thread;
    thread.SetDevicePath(device.Path());
    thread.SetReceiver(&receiver);
    thread.StartListening();
    ASSERT_TRUE(device.WaitForOpenHandles(1));
    device.SendReport(c.report);
    device.SendReport(Bytes(3, 0xEE));  // the next one stays separate
    ASSERT_TRUE(receiver.WaitForReports(2));
    thread.Stop();
    const std::vector<Bytes> reports = receiver.Reports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0], c.report);
    EXPECT_EQ(reports[1], Bytes(3, 0xEE));
  }
}

TEST(HidListenThread, EachRunEndsCleanlyWhateverEndsIt) {
  struct Case {
    const char* name;
    std::uint16_t inputReportLength;
    unsigned faults;
    // What happens while the body runs, once the device is open (or at once if it never is).
    std::function<void(ListenThread&, simreader::Device&, RecordingReceiver&)> act;
    std::optional<DWORD> result;
    const char* origin;
    ListenEndReason reason;
    std::optional<DWORD> code;  // the Win32 code kept with the reason, where it is fixed
    std::uint32_t reportLength;
  };
  // Once a first report has come through, the device is open and its length known.
  const auto whenListening = [](std::function<void(ListenThread&, simreader::Device&)> then) {
    return [then](ListenThread& thread, simreader::Device& device, RecordingReceiver& receiver) {
      ASSERT_TRUE(device.WaitForOpenHandles(1));
      device.SendReport(Bytes(17, 0x11));
      ASSERT_TRUE(receiver.WaitForReports(1));
      then(thread, device);
    };
  };
  const auto nothing = [](ListenThread&, simreader::Device&, RecordingReceiver&) {};
  const Case cases[] = {
      {"stop while a read is pending", 17, 0, whenListening([](ListenThread& t, simreader::Device&) { t.Stop(); }),
       DWORD{0}, "", ListenEndReason::Stopped, DWORD{ERROR_SUCCESS}, 0},
      {"unplug while a read is pending", 17, 0, whenListening([](ListenThread&, simreader::Device& d) { d.Unplug(); }),
       std::nullopt, "CHIDListenThread::Run() -  ReadFile", ListenEndReason::ReadFailed,
       DWORD{ERROR_PIPE_NOT_CONNECTED}, 0},
      {"a report longer than the device's", 17, 0,
       whenListening([](ListenThread&, simreader::Device& d) { d.SendReport(Bytes(2000, 0x5A)); }), std::nullopt,
       "CHIDListenThread::Run() -  ReadFile", ListenEndReason::ReadFailed, std::nullopt, 0},
      {"no preparsed data", 17, SIMREADER_FAULT_PREPARSED_DATA, nothing, std::nullopt,
       "CHIDListenThread::Run() - HidP_GetCaps", ListenEndReason::CapabilitiesUnreadable, DWORD{ERROR_INVALID_DATA}, 0},
      {"capabilities not readable", 17, SIMREADER_FAULT_CAPS, nothing, std::nullopt,
       "CHIDListenThread::Run() - HidP_GetCaps", ListenEndReason::CapabilitiesUnreadable, DWORD{ERROR_INVALID_DATA}, 0},
      {"input reports of 0 bytes", 0, 0, nothing, std::nullopt, "CHIDListenThread::Run() - HidP_GetCaps",
       ListenEndReason::ReportLengthRefused, DWORD{ERROR_INVALID_DATA}, 0},
      {"input reports longer than the buffer", 1029, 0, nothing, std::nullopt,
       "CHIDListenThread::Run() - InputReportByteLength", ListenEndReason::ReportLengthRefused,
       DWORD{ERROR_INSUFFICIENT_BUFFER}, 1029},
      {"input reports of 2000 bytes", 2000, 0, nothing, std::nullopt, "CHIDListenThread::Run() - InputReportByteLength",
       ListenEndReason::ReportLengthRefused, DWORD{ERROR_INSUFFICIENT_BUFFER}, 2000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    simreader::Device device(kVendor, kProduct, c.inputReportLength);
    device.SetFaults(c.faults);
    RecordingReceiver receiver;
    ListenThread thread;
    thread.SetDevicePath(device.Path());
    thread.SetReceiver(&receiver);
    const RunOutcome outcome = RunWhile(thread, [&] { c.act(thread, device, receiver); });
    EXPECT_EQ(outcome.result, c.result);
    EXPECT_EQ(outcome.origin, c.origin);
    const ListenEnd end = thread.GetLastEnd();
    EXPECT_EQ(end.reason, c.reason);
    if (c.code) {
      EXPECT_EQ(end.errorCode, *c.code);
    }
    EXPECT_EQ(end.reportLength, c.reportLength);
    // Whatever ended the run, the device handle and its preparsed data are released, and
    // no read ever delivered more than the device's report length.
    if (device.Id() != 0) {
      EXPECT_EQ(device.OpenHandleCount(), 0);
    }
    EXPECT_EQ(simreader::Stats().preparsedData, 0u);
    for (const Bytes& report : receiver.Reports()) {
      EXPECT_LE(report.size(), c.inputReportLength);
    }
  }
}

TEST(HidListenThread, TheOpenFailingEndsTheRun) {
  ListenThread thread;
  thread.SetDevicePath("\\\\.\\pipe\\simreader#no-such-device");
  const RunOutcome outcome = RunWhile(thread, [] {});
  EXPECT_FALSE(outcome.result.has_value());
  EXPECT_EQ(outcome.origin, "CHIDListenThread::Run() - CreateFile ");
  EXPECT_EQ(thread.GetLastEnd().reason, ListenEndReason::OpenFailed);
  EXPECT_EQ(thread.GetLastEnd().errorCode, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(HidListenThread, TheEndIsRunningFromTheStartUntilTheRunEnds) {
  simreader::Device device(kVendor, kProduct, 17);
  CHIDListenThread thread;
  EXPECT_EQ(thread.GetLastEnd().reason, ListenEndReason::NotStarted);
  thread.SetDevicePath(device.Path());
  thread.StartListening();
  EXPECT_EQ(thread.GetLastEnd().reason, ListenEndReason::Running);
  ASSERT_TRUE(device.WaitForOpenHandles(1));
  EXPECT_EQ(thread.GetLastEnd().reason, ListenEndReason::Running);
  thread.Stop();
  EXPECT_EQ(thread.GetLastEnd().reason, ListenEndReason::Stopped);
  // A new run forgets the last one's end at once.
  thread.StartListening();
  EXPECT_EQ(thread.GetLastEnd().reason, ListenEndReason::Running);
  thread.Stop();
}

// WaitForMultipleObjects as the listen loop calls it, held back once armed until both the
// read has completed and the stop has been asked for: the two meet at the same moment.
struct MeetingPoint {
  TestSupport::ImportHook* hook = nullptr;
  std::atomic<bool> armed{false};
  std::atomic<int> heldBack{0};
};
MeetingPoint g_meeting;

DWORD WINAPI WaitUntilBothAreSignalled(DWORD count, const HANDLE* handles, BOOL all, DWORD timeout) {
  if (g_meeting.armed.load() && count == 2) {
    WaitForSingleObject(handles[1], kGenerous);  // the read completed
    WaitForSingleObject(handles[0], kGenerous);  // the stop was asked for
    ++g_meeting.heldBack;
  }
  return g_meeting.hook->OriginalAs<decltype(WaitForMultipleObjects)>()(count, handles, all, timeout);
}

TEST(HidListenThread, AStopMeetingACompletedReadWinsAndNothingIsDeliveredAfterIt) {
  using TestSupport::ImportHook;
  ImportHook hook(GetModuleHandleA(nullptr), "kernel32.dll", "WaitForMultipleObjects",
                  ImportHook::Address(&WaitUntilBothAreSignalled));
  g_meeting.hook = &hook;
  g_meeting.heldBack = 0;
  simreader::Device device(kVendor, kProduct, 17);
  RecordingReceiver receiver;
  CHIDListenThread thread;
  thread.SetDevicePath(device.Path());
  thread.SetReceiver(&receiver);
  g_meeting.armed = true;
  thread.StartListening();
  ASSERT_TRUE(device.WaitForOpenHandles(1));
  device.PresentCard(1234);
  thread.Stop();
  g_meeting.armed = false;
  EXPECT_EQ(g_meeting.heldBack.load(), 1);
  EXPECT_TRUE(receiver.Reports().empty()) << "the report that completed with the stop was delivered";
  EXPECT_EQ(thread.GetLastEnd().reason, ListenEndReason::Stopped);
  EXPECT_EQ(device.OpenHandleCount(), 0);
  g_meeting.hook = nullptr;
}

TEST(HidListenThread, AStopRightAfterStartIsNeverLost) {
  simreader::Device device(kVendor, kProduct, 17);
  const unsigned deviceId = device.Id();
  CHIDListenThread thread;
  thread.SetDevicePath(device.Path());
  // A lost stop would leave Stop waiting for ever; unplugging ends such a thread, so a
  // watchdog rescues the test and reports the fault instead of hanging.
  kelmar::Win32::UniqueHandle finished(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  bool rescued = false;
  std::thread watchdog([&] {
    if (WaitForSingleObject(finished.Get(), 30000) != WAIT_OBJECT_0) {
      rescued = true;
      simreader::Control().RemoveDevice(deviceId);
    }
  });
  for (int attempt = 0; attempt < 100 && !rescued; ++attempt) {
    thread.StartListening();
    thread.Stop();
    EXPECT_FALSE(thread.IsRunning());
  }
  SetEvent(finished.Get());
  watchdog.join();
  EXPECT_FALSE(rescued) << "a stop requested right after the start was lost";
  EXPECT_EQ(simreader::Control().OpenHandleCount(deviceId), rescued ? -1 : 0);
}

TEST(HidListenThread, AThreadCanBeStoppedAndStartedAgain) {
  simreader::Device device(kVendor, kProduct, 17);
  RecordingReceiver receiver;
  CHIDListenThread thread;
  thread.SetDevicePath(device.Path());
  thread.SetReceiver(&receiver);
  for (std::size_t round = 1; round <= 3; ++round) {
    thread.StartListening();
    ASSERT_TRUE(device.WaitForOpenHandles(1));
    device.PresentCard(static_cast<std::uint32_t>(round));
    ASSERT_TRUE(receiver.WaitForReports(round));
    thread.Stop();
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_EQ(device.OpenHandleCount(), 0);
  }
}

TEST(HidListenThread, UnplugEndsTheThreadWithExitCodeZero) {
  simreader::Device device(kVendor, kProduct, 17);
  RecordingReceiver receiver;
  CHIDListenThread thread;
  thread.SetDevicePath(device.Path());
  thread.SetReceiver(&receiver);
  thread.StartListening();
  ASSERT_TRUE(device.WaitForOpenHandles(1));
  device.PresentCard(1);
  ASSERT_TRUE(receiver.WaitForReports(1));
  device.Unplug();
  ASSERT_EQ(WaitForSingleObject(thread.GetThreadHandle(), kGenerous), WAIT_OBJECT_0);
  EXPECT_FALSE(thread.IsRunning());
  DWORD exitCode = STILL_ACTIVE;
  ASSERT_TRUE(GetExitCodeThread(thread.GetThreadHandle(), &exitCode));
  EXPECT_EQ(exitCode, 0u);
  // A pending read that the unplug completed is handed over with its count of 0.
  for (const Bytes& report : receiver.Reports()) {
    EXPECT_TRUE(report.size() == 17 || report.empty()) << report.size();
  }
  thread.Stop();  // already ended: returns at once
}

TEST(HidListenThread, WithoutAReceiverReportsAreReadAndDropped) {
  simreader::Device device(kVendor, kProduct, 17);
  CHIDListenThread thread;
  thread.SetDevicePath(device.Path());
  thread.StartListening();
  ASSERT_TRUE(device.WaitForOpenHandles(1));
  for (std::uint32_t card = 0; card < 20; ++card) device.PresentCard(card);
  // With nothing to hand them to, the thread keeps reading until told to stop.
  device.SendReport(Bytes{});
  EXPECT_TRUE(thread.IsRunning());
  thread.Stop();
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_EQ(device.OpenHandleCount(), 0);
}

}  // namespace
