// C++ access to the simulated reader for tests and tools. The control functions are
// looked up in simreader.dll at run time, so nothing here links the simulator.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tools/simreader/SimReaderApi.h"

namespace simreader {

// The control functions of simreader.dll (loaded from the program's directory on first
// use). Throws std::runtime_error when the DLL or a function is missing, or when the
// hid.dll in use is not the stand-in (the program was not run with the DLL overrides).
struct ControlFunctions {
  SimReader_AddDevice_t AddDevice;
  SimReader_RemoveDevice_t RemoveDevice;
  SimReader_SendReport_t SendReport;
  SimReader_PresentCard_t PresentCard;
  SimReader_FailNextListeningOpen_t FailNextListeningOpen;
  SimReader_SetFaults_t SetFaults;
  SimReader_OpenHandleCount_t OpenHandleCount;
  SimReader_WaitForOpenHandles_t WaitForOpenHandles;
  SimReader_GetLastWriteTime_t GetLastWriteTime;
  SimReader_GetDevice_t GetDevice;
  SimReader_ListDevices_t ListDevices;
  SimReader_GetStats_t GetStats;
};
const ControlFunctions& Control();

SimReaderStats Stats();

// A simulated device, plugged in for the life of this object (unplugged at the end
// unless Unplug came first). Failures throw std::runtime_error.
class Device {
 public:
  static constexpr DWORD kDefaultTimeoutMilliseconds = 10000;

  Device(std::uint16_t vendorId, std::uint16_t productId, std::uint16_t inputReportLength);
  ~Device();

  Device(Device&& other) noexcept;
  Device& operator=(Device&&) = delete;
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  unsigned Id() const { return m_id; }
  const std::string& Path() const { return m_path; }

  void PresentCard(std::uint32_t cardNumber, std::uint8_t shift = 3) const;
  void SendReport(const std::vector<std::uint8_t>& report) const;
  void FailNextListeningOpen() const;
  void SetFaults(unsigned faults) const;
  int OpenHandleCount() const;
  // QueryPerformanceCounter just before the last report was written; 0 before any.
  LONGLONG LastWriteTime() const;
  // False when the count is not reached in time.
  bool WaitForOpenHandles(int count, DWORD timeoutMilliseconds = kDefaultTimeoutMilliseconds) const;
  // Like pulling the plug; the device is gone afterwards. Does nothing the second time.
  void Unplug();

 private:
  unsigned m_id;
  std::string m_path;
};

}  // namespace simreader
