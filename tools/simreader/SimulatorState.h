// The process-wide state behind the stand-in hid.dll and setupapi.dll: the devices plugged
// in, and what the stand-ins have handed out (device information sets, preparsed data), so
// that they can check what they are given back and tests can see what was not released.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <map>
#include <string>
#include <vector>

#include "tools/simreader/SimReaderApi.h"
#include "tools/simreader/SimulatedDevice.h"
#include "tools/simreader/SlimLock.h"

// The HID device interface class, {4D1E55B2-F16F-11CF-88CB-001111000030}.
inline constexpr GUID kHidInterfaceGuid = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

// A device information set: the interfaces present when it was made.
struct DeviceInfoList {
  std::vector<SimReaderDeviceInfo> interfaces;
};

// What HidD_GetPreparsedData hands out.
struct PreparsedData {
  std::uint16_t inputReportLength;
  bool capsFail;
};

class SimulatorState {
 public:
  // The one instance; it lives until the process ends (never destroyed, so nothing runs
  // at unload under the loader lock).
  static SimulatorState& Get();

  // 0 on failure, with the reason in GetLastError.
  unsigned AddDevice(std::uint16_t vendorId, std::uint16_t productId, std::uint16_t inputReportLength);
  bool RemoveDevice(unsigned id);
  std::shared_ptr<SimulatedDevice> Find(unsigned id) const;
  // The device whose pipe has this name (as GetFileInformationByHandleEx gives it), or null.
  std::shared_ptr<SimulatedDevice> FindByPipeName(const std::wstring& pipeName) const;
  // In enumeration order: the order in which they were plugged in.
  std::vector<std::shared_ptr<SimulatedDevice>> Devices() const;

  DeviceInfoList* OpenDeviceInfoList(std::unique_ptr<DeviceInfoList> list);
  // Null when `handle` is not a live list.
  DeviceInfoList* FindDeviceInfoList(const void* handle) const;
  bool CloseDeviceInfoList(const void* handle);

  PreparsedData* OpenPreparsedData(std::unique_ptr<PreparsedData> data);
  PreparsedData* FindPreparsedData(const void* handle) const;
  bool ClosePreparsedData(const void* handle);

  SimReaderStats Stats() const;

 private:
  SimulatorState() = default;

  mutable SlimLock m_lock;
  unsigned m_nextId = 1;
  std::vector<std::shared_ptr<SimulatedDevice>> m_devices;
  std::map<const void*, std::unique_ptr<DeviceInfoList>> m_lists;
  std::map<const void*, std::unique_ptr<PreparsedData>> m_preparsed;
};
