// The shared mode: devices of a server process (simreader-ctl serve) seen by this process
// through the stand-ins and the reader library, notifications to registered windows, and
// reports reaching other processes.
#include <gtest/gtest.h>

#include <windows.h>
#include <dbt.h>

extern "C" {
#include <hidsdi.h>
}

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "reader/HidEnumeration.h"
#include "reader/UsbICReaderManager.h"
#include "tests/reader/ReaderTestSupport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ProgramDirectory.h"
#include "tests/tools/simreader/NotificationWindow.h"
#include "tests/tools/simreader/SharedSession.h"
#include "tools/card_encoder/CardReportEncoder.h"
#include "tools/simreader/SimReader.h"
#include "win32/UniqueResource.h"

using kelmar::Win32::UniqueDeviceNotification;
using kelmar::Win32::UniqueFileHandle;
using kelmar::Win32::UniqueHandle;
using ReaderTests::Bytes;
using ReaderTests::kGenerous;
using namespace SharedSessionTests;

namespace {

const GUID kHidClass = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

Bytes ToBytes(const CardReportBytes& report) { return Bytes(report.begin(), report.end()); }

bool IsServersDevice(const std::string& path) {
  return path.find("#" + std::to_string(ServerProcessId()) + "_") != std::string::npos;
}

TEST(SharedMode, TheReaderLibraryFindsTheServersDeviceAndGetsItsCardsButNotBrokenOnes) {
  simreader::Device reader(kReaderVendorId, kReaderProductId, 17);  // through simreader.dll, to the server
  ASSERT_TRUE(IsServersDevice(reader.Path())) << reader.Path();
  EXPECT_EQ(FindHidDevicePath(kReaderVendorId, kReaderProductId), reader.Path());

  ReaderTests::CardWindow window;
  CardListener listener;
  ReaderTests::Prepare(listener, 0, window.Handle());
  CardListener passEnd;  // notified last: the report's pass is over
  const UniqueHandle passDone(CreateEventA(nullptr, FALSE, FALSE, nullptr));
  ReaderTests::Prepare(passEnd, 1, passDone.Get());
  CUsbICReaderManager manager;
  manager.AddListener(&listener);
  manager.AddListener(&passEnd);
  manager.OpenReader();
  ASSERT_TRUE(manager.GetListenThread().IsRunning());
  ASSERT_TRUE(reader.WaitForOpenHandles(1));

  CardRecord wrongCheck = MakeCardRecord(5555);
  wrongCheck[5] ^= 0x01;
  reader.SendReport(ToBytes(EncodeCardReport(wrongCheck, 3, 4)));
  reader.PresentCard(2587647617u, 3);
  ASSERT_TRUE(ReaderTests::IsSignalled(passDone.Get(), kGenerous));
  window.Drain();
  ASSERT_EQ(window.Messages().size(), 1u);
  EXPECT_EQ(window.Messages()[0].cardNumber, 2587647617u);
}

// Everything a notification carries, checked against the device it is about.
void ExpectNotification(const ReceivedNotification& received, WPARAM event, const std::string& path) {
  EXPECT_EQ(received.event, event);
  EXPECT_EQ(received.size, offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name) + path.size() + 1);
  EXPECT_EQ(received.deviceType, static_cast<DWORD>(DBT_DEVTYP_DEVICEINTERFACE));
  EXPECT_TRUE(IsEqualGUID(received.classGuid, kHidClass));
  EXPECT_EQ(received.name, path);
  // Arrival once the device opens; removal once it no longer does.
  EXPECT_EQ(received.deviceOpened, event == DBT_DEVICEARRIVAL);
}

TEST(SharedMode, RegisteredWindowsAndOnlyThoseHearOfArrivalAndRemoval) {
  NotificationWindow registered;
  NotificationWindow witness;  // registered throughout: when it has heard, everyone has
  NotificationWindow neverRegistered;
  NotificationWindow destroyed;
  UniqueDeviceNotification registration = registered.RegisterForHid();
  const UniqueDeviceNotification witnessRegistration = witness.RegisterForHid();
  const UniqueDeviceNotification destroyedRegistration = destroyed.RegisterForHid();
  ASSERT_TRUE(registration && witnessRegistration && destroyedRegistration);
  destroyed.Destroy();  // still registered: the server must get past it

  std::string path;
  {
    simreader::Device device(kReaderVendorId, kReaderProductId, 17);
    path = device.Path();
    ASSERT_TRUE(
        PumpUntil([&] { return registered.Received().size() == 1 && witness.Received().size() == 1; }, kGenerous));
    ExpectNotification(registered.Received()[0], DBT_DEVICEARRIVAL, path);
    ExpectNotification(witness.Received()[0], DBT_DEVICEARRIVAL, path);
    device.Unplug();
    ASSERT_TRUE(
        PumpUntil([&] { return registered.Received().size() == 2 && witness.Received().size() == 2; }, kGenerous));
    ExpectNotification(registered.Received()[1], DBT_DEVICEREMOVECOMPLETE, path);
  }

  registration.Reset();  // UnregisterDeviceNotification
  {
    simreader::Device again(kReaderVendorId, kReaderProductId, 17);
    again.Unplug();
  }
  ASSERT_TRUE(PumpUntil([&] { return witness.Received().size() == 4; }, kGenerous));
  EXPECT_EQ(witness.Received()[3].event, static_cast<WPARAM>(DBT_DEVICEREMOVECOMPLETE));
  EXPECT_EQ(registered.Received().size(), 2u);
  EXPECT_TRUE(neverRegistered.Received().empty());
}

TEST(SharedMode, UnplugCompletesAPendingReadWithAnError) {
  simreader::Device device(kReaderVendorId, kReaderProductId, 17);
  const UniqueFileHandle handle(CreateFileA(device.Path().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
  ASSERT_TRUE(handle.IsValid());
  PHIDP_PREPARSED_DATA preparsed = nullptr;
  ASSERT_TRUE(HidD_GetPreparsedData(handle.Get(), &preparsed));
  HidD_FreePreparsedData(preparsed);
  ASSERT_TRUE(device.WaitForOpenHandles(1));

  const UniqueHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  OVERLAPPED overlapped{};
  overlapped.hEvent = event.Get();
  BYTE buffer[64];
  ASSERT_FALSE(ReadFile(handle.Get(), buffer, sizeof(buffer), nullptr, &overlapped));
  ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
  device.Unplug();
  ASSERT_EQ(WaitForSingleObject(event.Get(), kGenerous), WAIT_OBJECT_0);
  DWORD count = 0;
  EXPECT_FALSE(GetOverlappedResult(handle.Get(), &overlapped, &count, FALSE));
  EXPECT_EQ(count, 0u);
}

TEST(SharedMode, TwoOtherProcessesBothReceiveTheReport) {
  simreader::Device reader(kReaderVendorId, kReaderProductId, 17);
  const std::string listen =
      "\"" + TestSupport::PathNextToProgram("tarvx-diag.exe") + "\" --listen --count 1 --seconds 20";
  std::vector<ChildResult> results(2, ChildResult{~0ul, std::string(), std::string()});
  std::atomic<int> ended{0};
  std::vector<std::thread> children;
  for (ChildResult& result : results) {
    children.emplace_back([&result, &listen, &ended] {
      try {
        result = RunChild(listen, std::string());
      } catch (const std::exception& error) {
        result.err = error.what();
      }
      ++ended;
    });
  }
  // Each child enumerates (an open of its own) before it listens, so a count of open
  // handles cannot tell when both listen: the card is presented until both have read one.
  const DWORD start = GetTickCount();
  while (ended.load() < 2 && GetTickCount() - start < 2 * kGenerous) {
    reader.PresentCard(424242u, 3);
    Sleep(50);
  }
  for (std::thread& child : children) child.join();
  for (const ChildResult& result : results) {
    EXPECT_EQ(result.exitCode, 0u) << result.err;
    EXPECT_NE(result.out.find("card number: 424242"), std::string::npos) << result.out;
  }
}

TEST(SharedMode, AProgramWithoutTheSessionSeesOnlyItsOwnDevices) {
  simreader::Device reader(kReaderVendorId, kReaderProductId, 17);
  const std::string list = "\"" + TestSupport::PathNextToProgram("tarvx-diag.exe") + "\" --list";
  const ChildResult joined = RunChild(list, std::string());
  EXPECT_EQ(joined.exitCode, 0u) << joined.err;
  EXPECT_NE(joined.out.find(reader.Path()), std::string::npos) << joined.out;

  SetEnvironmentVariableA("SIMREADER_SHARED", nullptr);  // the child inherits this process's environment
  const ChildResult alone = RunChild(list, std::string());
  SetEnvironmentVariableA("SIMREADER_SHARED", SessionName().c_str());
  EXPECT_EQ(alone.exitCode, 1u);  // no reader
  EXPECT_EQ(alone.out.find(reader.Path()), std::string::npos) << alone.out;
}

}  // namespace
