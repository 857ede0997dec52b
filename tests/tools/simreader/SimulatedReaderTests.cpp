// The simulated reader seen from kernel32 and the stand-in hid.dll / setupapi.dll, the
// way the reader library and the diagnostics tool use a real device.
#include <gtest/gtest.h>

#include <windows.h>
#include <setupapi.h>

extern "C" {
#include <hidsdi.h>
}

#include <cstdint>
#include <memory>
#include <vector>

#include "reader/CardReport.h"
#include "tests/support/ResourceCounters.h"
#include "tools/card_encoder/CardReportEncoder.h"
#include "tools/simreader/SimReader.h"
#include "win32/UniqueResource.h"

using kelmar::Win32::UniqueFileHandle;
using kelmar::Win32::UniqueHandle;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr DWORD kGenerous = 10000;

UniqueFileHandle OpenForReading(const simreader::Device& device) {
  return UniqueFileHandle(CreateFileA(device.Path().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
}

UniqueFileHandle OpenForQuery(const simreader::Device& device) {
  return UniqueFileHandle(
      CreateFileA(device.Path().c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
}

// What a reader of the device does: ask for the capabilities, then read reports.
class ReportReader {
 public:
  explicit ReportReader(const simreader::Device& device)
      : m_handle(OpenForReading(device)), m_event(CreateEventA(nullptr, TRUE, FALSE, nullptr)), m_overlapped{} {
    m_overlapped.hEvent = m_event.Get();
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    if (m_handle && HidD_GetPreparsedData(m_handle.Get(), &preparsed)) {
      HidD_FreePreparsedData(preparsed);
    }
  }
  ~ReportReader() {
    if (m_pending) {
      CancelIo(m_handle.Get());
      DWORD count = 0;
      GetOverlappedResult(m_handle.Get(), &m_overlapped, &count, TRUE);
    }
  }

  bool IsOpen() const { return m_handle.IsValid(); }

  // Starts a read; false when ReadFile failed at once (error in LastError()).
  bool Begin() {
    ResetEvent(m_event.Get());
    m_buffer.assign(1028, 0);
    if (!ReadFile(m_handle.Get(), m_buffer.data(), static_cast<DWORD>(m_buffer.size()), nullptr, &m_overlapped) &&
        GetLastError() != ERROR_IO_PENDING) {
      m_error = GetLastError();
      return false;
    }
    m_pending = true;
    return true;
  }
  bool Completed(DWORD timeout) const { return WaitForSingleObject(m_event.Get(), timeout) == WAIT_OBJECT_0; }
  // The completed read's bytes; an empty result with a non-zero LastError() when it failed.
  Bytes Finish() {
    DWORD count = 0;
    const BOOL succeeded = GetOverlappedResult(m_handle.Get(), &m_overlapped, &count, TRUE);
    m_pending = false;
    m_error = succeeded ? 0 : GetLastError();
    return Bytes(m_buffer.begin(), m_buffer.begin() + count);
  }
  // One whole report, or nothing (an empty result and LastError() != 0) if none comes.
  Bytes Read() {
    if (!Begin()) return Bytes();
    if (!Completed(kGenerous)) {
      m_error = WAIT_TIMEOUT;
      return Bytes();
    }
    return Finish();
  }
  DWORD LastError() const { return m_error; }

 private:
  UniqueFileHandle m_handle;
  UniqueHandle m_event;
  OVERLAPPED m_overlapped;
  Bytes m_buffer;
  bool m_pending = false;
  DWORD m_error = 0;
};

TEST(SimulatedReader, EachReportArrivesWholeAsOneReadInTheOrderSent) {
  simreader::Device device(0x4154, 0x5652, 17);
  ReportReader reader(device);
  ASSERT_TRUE(reader.IsOpen());
  ASSERT_TRUE(device.WaitForOpenHandles(1));
  // Queued before the first read: message boundaries must survive, a 0-byte report too.
  const std::vector<Bytes> reports = {Bytes(17, 0xA5), Bytes{}, Bytes{0x01}, Bytes(64, 0x3C), Bytes(1028, 0x77)};
  for (const Bytes& report : reports) device.SendReport(report);
  for (const Bytes& expected : reports) {
    EXPECT_EQ(reader.Read(), expected);
    EXPECT_EQ(reader.LastError(), 0u);
  }
}

TEST(SimulatedReader, APresentedCardIsTheEncodedReportOfItsNumber) {
  simreader::Device device(0x4154, 0x5652, 17);
  ReportReader reader(device);
  ASSERT_TRUE(device.WaitForOpenHandles(1));
  device.PresentCard(2587647617u, 3);
  const Bytes report = reader.Read();
  ASSERT_EQ(report.size(), 17u);
  const CardReportResult card = ReadCardReport(report.data(), static_cast<std::uint32_t>(report.size()));
  EXPECT_EQ(card.status, CardReportStatus::Accepted);
  EXPECT_EQ(card.cardNumber, 2587647617u);
  EXPECT_EQ(report[16], 3);
}

TEST(SimulatedReader, EveryOpenHandleReceivesEveryReport) {
  simreader::Device device(0x4154, 0x5652, 17);
  ReportReader first(device);
  ReportReader second(device);
  ASSERT_TRUE(device.WaitForOpenHandles(2));
  device.SendReport(Bytes(17, 1));
  device.SendReport(Bytes(17, 2));
  for (ReportReader* reader : {&first, &second}) {
    EXPECT_EQ(reader->Read(), Bytes(17, 1));
    EXPECT_EQ(reader->Read(), Bytes(17, 2));
  }
}

TEST(SimulatedReader, OpensAsTheLibraryMakesThemSucceedForInstancesBackToBack) {
  simreader::Device device(0x4154, 0x5652, 17);
  // Each plug-in instance: an enumeration open with a query, closed at once, then a
  // listening open on another thread; several instances one right after the other.
  std::vector<std::unique_ptr<ReportReader>> readers;
  for (int instance = 0; instance < 4; ++instance) {
    {
      UniqueFileHandle query = OpenForQuery(device);
      ASSERT_TRUE(query.IsValid()) << "instance " << instance << ": error " << GetLastError();
      HIDD_ATTRIBUTES attributes{};
      attributes.Size = sizeof(attributes);
      ASSERT_TRUE(HidD_GetAttributes(query.Get(), &attributes));
    }
    readers.push_back(std::make_unique<ReportReader>(device));
    ASSERT_TRUE(readers.back()->IsOpen()) << "instance " << instance << ": error " << GetLastError();
  }
  EXPECT_TRUE(device.WaitForOpenHandles(4));
}

TEST(SimulatedReader, OpenHandleCountFollowsOpensAndCloses) {
  simreader::Device device(0x4154, 0x5652, 17);
  EXPECT_EQ(device.OpenHandleCount(), 0);
  UniqueFileHandle query = OpenForQuery(device);
  auto reader = std::make_unique<ReportReader>(device);
  ASSERT_TRUE(reader->IsOpen());
  EXPECT_TRUE(device.WaitForOpenHandles(2));
  query.Reset();
  EXPECT_EQ(device.OpenHandleCount(), 1);
  reader.reset();
  EXPECT_EQ(device.OpenHandleCount(), 0);
  // The instances the clients left listen again: the device still opens, many times over.
  for (int i = 0; i < 20; ++i) {
    ReportReader again(device);
    ASSERT_TRUE(again.IsOpen()) << "open " << i << ": error " << GetLastError();
  }
  EXPECT_TRUE(device.WaitForOpenHandles(0));
}

TEST(SimulatedReader, UnplugFailsThePendingReadAndEveryLaterOne) {
  simreader::Device device(0x4154, 0x5652, 17);
  ReportReader reader(device);
  ASSERT_TRUE(device.WaitForOpenHandles(1));
  ASSERT_TRUE(reader.Begin());
  EXPECT_FALSE(reader.Completed(50));
  device.Unplug();
  ASSERT_TRUE(reader.Completed(kGenerous));
  EXPECT_TRUE(reader.Finish().empty());
  EXPECT_NE(reader.LastError(), 0u);
  EXPECT_FALSE(reader.Begin());
  EXPECT_NE(reader.LastError(), 0u);
  // And the path no longer opens.
  EXPECT_FALSE(OpenForReading(device).IsValid());
}

TEST(SimulatedReader, FailNextListeningOpenLetsTheQueryOpenThroughAndFailsTheReadOpenOnce) {
  simreader::Device device(0x4154, 0x5652, 17);
  device.FailNextListeningOpen();
  {
    UniqueFileHandle query = OpenForQuery(device);
    ASSERT_TRUE(query.IsValid());
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof(attributes);
    ASSERT_TRUE(HidD_GetAttributes(query.Get(), &attributes));
    EXPECT_EQ(attributes.VendorID, 0x4154);
    EXPECT_EQ(attributes.ProductID, 0x5652);
  }
  EXPECT_FALSE(OpenForReading(device).IsValid());

  // A new search serves the device again.
  GUID hidGuid;
  HidD_GetHidGuid(&hidGuid);
  HDEVINFO set = SetupDiGetClassDevsA(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  ASSERT_NE(set, INVALID_HANDLE_VALUE);
  SetupDiDestroyDeviceInfoList(set);
  EXPECT_TRUE(OpenForReading(device).IsValid());
}

TEST(SimulatedReader, HidFunctionsRefuseHandlesOfOtherFiles) {
  char path[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(nullptr, path, MAX_PATH), 0u);
  UniqueFileHandle self(CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(self.IsValid());
  HIDD_ATTRIBUTES attributes{};
  attributes.Size = sizeof(attributes);
  EXPECT_FALSE(HidD_GetAttributes(self.Get(), &attributes));
  PHIDP_PREPARSED_DATA preparsed = nullptr;
  EXPECT_FALSE(HidD_GetPreparsedData(self.Get(), &preparsed));
}

TEST(SimulatedReader, PlugAndUnplugCyclesLeaveNoHandlesThreadsOrAllocations) {
  const TestSupport::ResourceCounts before = TestSupport::TakeResourceCounts();
  for (int cycle = 0; cycle < 50; ++cycle) {
    simreader::Device device(0x4154, 0x5652, 17);
    ReportReader reader(device);
    ASSERT_TRUE(device.WaitForOpenHandles(1));
    device.PresentCard(static_cast<std::uint32_t>(cycle), 3);
    ASSERT_EQ(reader.Read().size(), 17u);
    ASSERT_TRUE(reader.Begin());
    device.Unplug();
    ASSERT_TRUE(reader.Completed(kGenerous));
    reader.Finish();
  }
  const TestSupport::ResourceCounts after = TestSupport::TakeResourceCounts();
  EXPECT_EQ(after.handles, before.handles) << TestSupport::Describe(before) << " -> " << TestSupport::Describe(after);
  EXPECT_EQ(after.threads, before.threads);
  const SimReaderStats stats = simreader::Stats();
  EXPECT_EQ(stats.devices, 0u);
  EXPECT_EQ(stats.preparsedData, 0u);
  EXPECT_EQ(stats.deviceInfoLists, 0u);
}

}  // namespace
