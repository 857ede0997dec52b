// The devices of this process (SimulatorState): the in-process mode, and what the server
// of the shared mode holds.
#pragma once

#include "tools/simreader/DeviceHost.h"

class LocalDevices final : public DeviceHost {
 public:
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
};
