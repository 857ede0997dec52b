// The stand-in setupapi.dll functions: the HID device interface class lists the simulated
// devices present, in the order they were plugged in; every other class is empty.
#include <windows.h>
// Defines the functions below instead of importing them.
#define _SETUPAPI_
#include <setupapi.h>

#include <cstddef>
#include <cstring>
#include <memory>

#include "tools/simreader/ServedDevices.h"
#include "tools/simreader/SimulatorState.h"

namespace {

// What the detail of an interface with SIMREADER_FAULT_DETAIL_SIZE claims to need: more
// than a 32-bit process can allocate, and far more than any path takes.
constexpr DWORD kUnallocatableSize = 0xFFFFFF00u;
constexpr std::size_t kPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);

bool IsHidInterfaceClass(const GUID* guid) { return guid != nullptr && IsEqualGUID(*guid, kHidInterfaceGuid); }

// The interface that SetupDiEnumDeviceInterfaces described in `data`, or null.
const SimReaderDeviceInfo* InterfaceOf(const DeviceInfoList& list, const SP_DEVICE_INTERFACE_DATA* data) {
  if (data == nullptr || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) || data->Reserved == 0 ||
      data->Reserved > list.interfaces.size()) {
    return nullptr;
  }
  return &list.interfaces[data->Reserved - 1];
}

}  // namespace

extern "C" {

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* classGuid, PCSTR /*enumerator*/, HWND /*parent*/, DWORD flags) {
  try {
    CoverNotificationRegistrations();
    auto list = std::make_unique<DeviceInfoList>();
    if (IsHidInterfaceClass(classGuid) && (flags & DIGCF_DEVICEINTERFACE) != 0) {
      // Without its server, a shared session simply has no devices.
      if (ServedDevices().BeginEnumeration(list->interfaces) != ERROR_SUCCESS) list->interfaces.clear();
    }
    return SimulatorState::Get().OpenDeviceInfoList(std::move(list));
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
  }
}

WINBOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA /*deviceInfo*/, const GUID* interfaceClass,
                                           DWORD index, PSP_DEVICE_INTERFACE_DATA data) {
  const DeviceInfoList* list = SimulatorState::Get().FindDeviceInfoList(set);
  if (list == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (data == nullptr || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  if (!IsHidInterfaceClass(interfaceClass) || index >= list->interfaces.size()) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
  }
  data->InterfaceClassGuid = kHidInterfaceGuid;
  data->Flags = SPINT_ACTIVE;
  data->Reserved = index + 1;  // which interface, for the detail
  return TRUE;
}

WINBOOL WINAPI SetupDiGetDeviceInterfaceDetailA(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                                                PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD detailSize,
                                                PDWORD requiredSize, PSP_DEVINFO_DATA /*deviceInfo*/) {
  const DeviceInfoList* list = SimulatorState::Get().FindDeviceInfoList(set);
  if (list == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const SimReaderDeviceInfo* info = InterfaceOf(*list, data);
  if (info == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::size_t pathLength = std::strlen(info->path) + 1;
  const DWORD needed = (info->faults & SIMREADER_FAULT_DETAIL_SIZE) != 0 ? kUnallocatableSize
                                                                         : static_cast<DWORD>(kPathOffset + pathLength);
  if (requiredSize != nullptr) *requiredSize = needed;
  if (detail == nullptr) {
    SetLastError(detailSize == 0 ? ERROR_INSUFFICIENT_BUFFER : ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  if (detailSize < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) ||
      detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  if (detailSize < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(reinterpret_cast<char*>(detail) + kPathOffset, info->path, pathLength);
  return TRUE;
}

WINBOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO set) {
  if (!SimulatorState::Get().CloseDeviceInfoList(set)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

}  // extern "C"
