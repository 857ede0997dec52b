// simreader-ctl as scripts use it: its commands reach the session's server, and what it
// refuses it refuses with its exit code and one line of explanation.
#include <gtest/gtest.h>

#include <windows.h>

extern "C" {
#include <hidsdi.h>
}

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "reader/CardReport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ProgramDirectory.h"
#include "tests/tools/simreader/SharedSession.h"
#include "win32/UniqueResource.h"

using kelmar::Win32::UniqueFileHandle;
using kelmar::Win32::UniqueHandle;
using namespace SharedSessionTests;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr DWORD kGenerous = 10000;

ChildResult Control(const std::string& arguments) { return RunChild(ControlCommandLine(arguments), std::string()); }

// One report from an open handle of the device; empty when none comes in time.
Bytes ReadReport(HANDLE device) {
  const UniqueHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  OVERLAPPED overlapped{};
  overlapped.hEvent = event.Get();
  Bytes buffer(64);
  DWORD count = 0;
  if (!ReadFile(device, buffer.data(), static_cast<DWORD>(buffer.size()), nullptr, &overlapped) &&
      GetLastError() != ERROR_IO_PENDING) {
    return Bytes();
  }
  if (WaitForSingleObject(event.Get(), kGenerous) != WAIT_OBJECT_0) {
    CancelIo(device);
    GetOverlappedResult(device, &overlapped, &count, TRUE);
    return Bytes();
  }
  if (!GetOverlappedResult(device, &overlapped, &count, FALSE)) return Bytes();
  buffer.resize(count);
  return buffer;
}

bool IsOneErrorLine(const std::string& text) {
  return text.rfind("simreader-ctl: ", 0) == 0 && std::count(text.begin(), text.end(), '\n') == 1;
}

TEST(ControlProgram, PlugsListsSendsAndUnplugs) {
  const ChildResult plugged = Control("plug --length 20");
  ASSERT_EQ(plugged.exitCode, 0u) << plugged.err;
  const std::string id = plugged.out.substr(0, plugged.out.find('\n'));
  SimReaderDeviceInfo info{};
  ASSERT_EQ(Server().GetDevice(static_cast<unsigned>(std::stoul(id)), info), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(info.vendorId, 0x4154);
  EXPECT_EQ(info.productId, 0x5652);
  EXPECT_EQ(info.inputReportLength, 20);

  const ChildResult listed = Control("list");
  EXPECT_EQ(listed.exitCode, 0u);
  EXPECT_NE(listed.out.find(id + " 0x4154 0x5652 20 0x0000 " + info.path + "\n"), std::string::npos) << listed.out;

  const UniqueFileHandle device(CreateFileA(info.path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
  ASSERT_TRUE(device.IsValid());
  HIDD_ATTRIBUTES attributes{};
  attributes.Size = sizeof(attributes);
  ASSERT_TRUE(HidD_GetAttributes(device.Get(), &attributes));  // one report per read from here on
  const ChildResult handles = Control("handles " + id);
  EXPECT_EQ(handles.out, "1\n");

  ASSERT_EQ(Control("card " + id + " 77 --shift 4").exitCode, 0u);
  const Bytes card = ReadReport(device.Get());
  ASSERT_EQ(card.size(), 17u);
  const CardReportResult decoded = ReadCardReport(card.data(), static_cast<std::uint32_t>(card.size()));
  EXPECT_EQ(decoded.status, CardReportStatus::Accepted);
  EXPECT_EQ(decoded.cardNumber, 77u);
  EXPECT_EQ(card[16], 4);
  ASSERT_EQ(Control("raw " + id + " 01 02 0xA5").exitCode, 0u);
  EXPECT_EQ(ReadReport(device.Get()), (Bytes{0x01, 0x02, 0xA5}));

  const ChildResult waited = Control("wait-handles " + id + " 2 50");
  EXPECT_EQ(waited.exitCode, 1u);
  EXPECT_TRUE(IsOneErrorLine(waited.err)) << waited.err;

  EXPECT_EQ(Control("unplug " + id).exitCode, 0u);
  EXPECT_TRUE(ReadReport(device.Get()).empty());  // unplugged: the read fails
  const ChildResult again = Control("unplug " + id);
  EXPECT_EQ(again.exitCode, 1u);
  EXPECT_NE(again.err.find("no such device"), std::string::npos) << again.err;
}

// The server makes a device's pipe instances while serving the plug request, on the
// thread of the requesting program's connection, which ends with that connection. A wait
// for a client started on that thread would be cancelled with it, and the device would
// close its instances, a client's included, just when a program told of the arrival opens
// it.
TEST(ControlProgram, ADevicePluggedThroughAConnectionThatHasEndedOpensEveryTime) {
  // The moment is short: many rounds make missing it unlikely.
  for (int round = 0; round < 40; ++round) {
    unsigned id = 0;
    {
      simreader::ControlClient requester(SessionName());  // a connection of its own
      ASSERT_EQ(requester.AddDevice(0x4154, 0x5652, 17, id), static_cast<DWORD>(ERROR_SUCCESS));
    }
    SimReaderDeviceInfo info{};
    ASSERT_EQ(Server().GetDevice(id, info), static_cast<DWORD>(ERROR_SUCCESS));
    // Opens and queries in quick succession, as enumerations do, while the request's
    // thread ends.
    int failures = 0;
    DWORD lastError = ERROR_SUCCESS;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 50) {
      const UniqueFileHandle device(
          CreateFileA(info.path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
      HIDD_ATTRIBUTES attributes{};
      attributes.Size = sizeof(attributes);
      if (!device || !HidD_GetAttributes(device.Get(), &attributes)) {
        ++failures;
        lastError = GetLastError();
      }
    }
    EXPECT_EQ(failures, 0) << "round " << round << ", last error " << lastError;
    EXPECT_EQ(Server().RemoveDevice(id), static_cast<DWORD>(ERROR_SUCCESS));
  }
}

TEST(ControlProgram, RefusesWithItsExitCodeAndOneLine) {
  struct Case {
    std::string commandLine;
    unsigned long exitCode;
    const char* says;
  };
  const Case cases[] = {
      {ControlCommandLine("bogus"), 2, "unknown command"},
      {ControlCommandLine(""), 2, "no command"},
      {ControlCommandLine("plug --vid 0x10000"), 2, "not a valid vendor id"},
      {ControlCommandLine("plug --speed 3"), 2, "unknown option"},
      {ControlCommandLine("card 1"), 2, "wrong number of arguments"},
      {ControlCommandLine("raw 1 0x1G"), 2, "not hex"},
      {ControlCommandLine("card 999999 1"), 1, "no such device"},
      {ControlCommandLine("serve"), 4, "has a server already"},
      {"\"" + TestSupport::PathNextToProgram("simreader-ctl.exe") + "\" --session no-such-session list", 3,
       "no server answers"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.commandLine);
    const ChildResult result = RunChild(c.commandLine, std::string());
    EXPECT_EQ(result.exitCode, c.exitCode);
    EXPECT_TRUE(IsOneErrorLine(result.err)) << result.err;
    EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
    EXPECT_TRUE(result.out.empty()) << result.out;
  }
}

}  // namespace
