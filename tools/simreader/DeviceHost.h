// Where the simulated devices live: in this process (LocalDevices) or in a server process
// that every process of the session shares (ControlClient). The stand-ins and the control
// functions work through this interface alike. Every function returns a Win32 error code,
// ERROR_SUCCESS when it succeeded.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tools/simreader/SimReaderApi.h"

// The HID function a handle is used with; a device's faults refuse some of them.
enum class HandleUse : std::uint32_t {
  Attributes = 1,     // HidD_GetAttributes
  PreparsedData = 2,  // HidD_GetPreparsedData
};

class DeviceHost {
 public:
  virtual ~DeviceHost() = default;

  virtual DWORD AddDevice(std::uint16_t vendorId, std::uint16_t productId, std::uint16_t inputReportLength,
                          unsigned& id) = 0;
  virtual DWORD RemoveDevice(unsigned id) = 0;
  virtual DWORD SendReport(unsigned id, const void* bytes, unsigned length) = 0;
  virtual DWORD PresentCard(unsigned id, unsigned cardNumber, unsigned char shift) = 0;
  virtual DWORD FailNextListeningOpen(unsigned id) = 0;
  virtual DWORD SetFaults(unsigned id, unsigned faults) = 0;
  virtual DWORD OpenHandleCount(unsigned id, int& count) = 0;
  // ERROR_TIMEOUT when exactly `count` handles are not open within the time.
  virtual DWORD WaitForOpenHandles(unsigned id, int count, DWORD timeoutMilliseconds) = 0;
  virtual DWORD LastWriteTime(unsigned id, LONGLONG& counter) = 0;
  virtual DWORD GetDevice(unsigned id, SimReaderDeviceInfo& info) = 0;
  // In enumeration order.
  virtual DWORD ListDevices(std::vector<SimReaderDeviceInfo>& devices) = 0;
  // What SetupDiGetClassDevsA lists: the devices present, each told that a new
  // enumeration began (which ends a FailNextListeningOpen).
  virtual DWORD BeginEnumeration(std::vector<SimReaderDeviceInfo>& devices) = 0;
  // A HID function is called on a handle opened on the pipe named `pipeName` (as
  // GetFileInformationByHandleEx names it). Gives the device, or ERROR_INVALID_FUNCTION
  // when no device has that pipe or the device's faults refuse the function.
  virtual DWORD UseHandle(const std::wstring& pipeName, HandleUse use, SimReaderDeviceInfo& info) = 0;
};
