// The devices of a session's server, reached over its control pipe: what the stand-ins
// use in the shared mode, and what simreader-ctl, tests and benchmarks use to plug,
// unplug and present cards to devices that every process of the session sees.
// Thread-safe; each request takes a connection of its own (kept for later requests), so a
// long wait for open handles holds up no other request.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tools/simreader/ControlProtocol.h"
#include "tools/simreader/DeviceHost.h"
#include "tools/simreader/SlimLock.h"
#include "win32/UniqueResource.h"

namespace simreader {

// The error of every request that did not reach the server or got no answer (no server
// runs for the session, or it ended during the request).
constexpr DWORD kServerUnreachable = ERROR_SERVICE_NOT_ACTIVE;

class ControlClient final : public DeviceHost {
 public:
  explicit ControlClient(const std::string& session);

  ControlClient(const ControlClient&) = delete;
  ControlClient& operator=(const ControlClient&) = delete;

  DWORD Ping(DWORD& serverProcessId);
  // `window` of process `processId` registered for HID interface notifications with the
  // notification handle `registration`.
  DWORD RegisterWindow(DWORD processId, HANDLE registration, HWND window);
  DWORD UnregisterWindow(DWORD processId, HANDLE registration);
  // The server unplugs every device and ends; it may still be ending when this returns.
  DWORD Stop();

  DWORD AddDevice(std::uint16_t vendorId, std::uint16_t productId, std::uint16_t inputReportLength,
                  unsigned& id) override;
  DWORD RemoveDevice(unsigned id) override;
  DWORD SendReport(unsigned id, const void* bytes, unsigned length) override;
  DWORD PresentCard(unsigned id, unsigned cardNumber, unsigned char shift) override;
  DWORD FailNextListeningOpen(unsigned id) override;
  DWORD SetFaults(unsigned id, unsigned faults) override;
  DWORD OpenHandleCount(unsigned id, int& count) override;
  DWORD WaitForOpenHandles(unsigned id, int count, DWORD timeoutMilliseconds) override;
  DWORD LastWriteTime(unsigned id, LONGLONG& counter) override;
  DWORD GetDevice(unsigned id, SimReaderDeviceInfo& info) override;
  DWORD ListDevices(std::vector<SimReaderDeviceInfo>& devices) override;
  DWORD BeginEnumeration(std::vector<SimReaderDeviceInfo>& devices) override;
  DWORD UseHandle(const std::wstring& pipeName, HandleUse use, SimReaderDeviceInfo& info) override;

 private:
  // The answer's error; the answer itself when that is ERROR_SUCCESS.
  DWORD Transact(const protocol::Request& request, protocol::Answer& answer);
  DWORD Simple(protocol::Command command, unsigned id, std::uint32_t arg1 = 0, std::uint32_t arg2 = 0,
               std::uint32_t arg3 = 0);
  DWORD Devices(protocol::Command command, std::vector<SimReaderDeviceInfo>& devices);
  kelmar::Win32::UniqueFileHandle Connect() const;
  kelmar::Win32::UniqueFileHandle TakeIdle();
  void GiveBack(kelmar::Win32::UniqueFileHandle connection);

  const std::string m_pipePath;
  SlimLock m_lock;
  std::vector<kelmar::Win32::UniqueFileHandle> m_idle;  // guarded by m_lock
};

}  // namespace simreader
