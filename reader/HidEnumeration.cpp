#include "reader/HidEnumeration.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <new>

#include "reader/HidSystem.h"

using kelmar::Win32::UniqueDeviceInfoList;
using kelmar::Win32::UniqueFileHandle;

namespace {

// The interface's device path, or nothing when its detail cannot be read (including when
// the detail buffer cannot be allocated: that interface is skipped, the search goes on).
std::optional<std::string> ReadInterfacePath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& interfaceData) {
  DWORD required = 0;
  // Asked without a buffer, the call fails by design and reports the size it needs.
  SetupDiGetDeviceInterfaceDetailA(set, &interfaceData, nullptr, 0, &required, nullptr);
  constexpr std::size_t kPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
  if (required <= kPathOffset) {
    return std::nullopt;
  }
  const std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[required]);
  if (!buffer) {
    return std::nullopt;
  }
  auto* detail = new (buffer.get()) SP_DEVICE_INTERFACE_DETAIL_DATA_A{};
  // The fixed part only (5 bytes in a 32-bit process), not the whole buffer.
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
  if (!SetupDiGetDeviceInterfaceDetailA(set, &interfaceData, detail, required, nullptr, nullptr)) {
    return std::nullopt;
  }
  const char* path = reinterpret_cast<const char*>(buffer.get() + kPathOffset);
  return std::string(path, strnlen(path, required - kPathOffset));
}

// Opens the interface only for as long as it takes to read its ids.
std::optional<HidIds> ReadHidIdsOf(const std::string& path) {
  const UniqueFileHandle device = OpenHidDeviceForQuery(path);
  if (!device) {
    return std::nullopt;
  }
  return ReadHidIds(device.Get());
}

}  // namespace

void ForEachHidInterfacePath(const std::function<bool(const std::string& path)>& visit) {
  GUID hidGuid;
  HidD_GetHidGuid(&hidGuid);
  const UniqueDeviceInfoList set(
      SetupDiGetClassDevsA(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
  if (!set) {
    return;
  }
  for (DWORD index = 0;; ++index) {
    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof(interfaceData);
    if (!SetupDiEnumDeviceInterfaces(set.Get(), nullptr, &hidGuid, index, &interfaceData)) {
      return;  // no more interfaces, or the set cannot be read: either way the end
    }
    const std::optional<std::string> path = ReadInterfacePath(set.Get(), interfaceData);
    if (path && !visit(*path)) {
      return;
    }
  }
}

std::vector<HidInterfaceInfo> ListHidInterfaces() {
  std::vector<HidInterfaceInfo> interfaces;
  ForEachHidInterfacePath([&interfaces](const std::string& path) {
    HidInterfaceInfo info{path, std::nullopt, std::nullopt};
    const UniqueFileHandle device = OpenHidDeviceForQuery(path);
    if (device) {
      info.ids = ReadHidIds(device.Get());
      info.inputReportLength = ReadInputReportLength(device.Get());
    }
    interfaces.push_back(std::move(info));
    return true;
  });
  return interfaces;
}

std::string FindHidDevicePath(std::uint16_t vendorId, std::uint16_t productId) {
  std::string found;
  ForEachHidInterfacePath([&](const std::string& path) {
    bool matches = vendorId == 0;
    if (!matches) {
      const std::optional<HidIds> ids = ReadHidIdsOf(path);
      matches = ids && ids->vendorId == vendorId && ids->productId == productId;
    }
    if (matches) found = path;
    return !matches;
  });
  return found;
}
