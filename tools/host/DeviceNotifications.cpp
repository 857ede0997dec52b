#include "tools/host/DeviceNotifications.h"

#include <cstddef>
#include <cstring>
#include <vector>

namespace nphost {

const GUID kHidInterfaceClass = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

LRESULT SendDeviceInterfaceChange(HWND window, WPARAM event, const std::string& path, const GUID& interfaceClass) {
  // The name is stored inline: the structure grows with it, and its size says so.
  constexpr std::size_t kNameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name);
  const std::size_t size = kNameOffset + path.size() + 1;
  std::vector<unsigned char> buffer(
      size < sizeof(DEV_BROADCAST_DEVICEINTERFACE_A) ? sizeof(DEV_BROADCAST_DEVICEINTERFACE_A) : size);
  auto* notification = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_A*>(buffer.data());
  notification->dbcc_size = static_cast<DWORD>(size);
  notification->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  notification->dbcc_reserved = 0;
  notification->dbcc_classguid = interfaceClass;
  std::memcpy(buffer.data() + kNameOffset, path.c_str(), path.size() + 1);
  return SendMessageA(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(buffer.data()));
}

LRESULT SendDeviceChange(HWND window, WPARAM event, DWORD deviceType) {
  if (deviceType == 0) return SendMessageA(window, WM_DEVICECHANGE, event, 0);
  DEV_BROADCAST_VOLUME volume{};
  volume.dbcv_size = deviceType == DBT_DEVTYP_VOLUME ? sizeof volume : sizeof(DEV_BROADCAST_HDR);
  volume.dbcv_devicetype = deviceType;
  volume.dbcv_unitmask = 1u << ('E' - 'A');
  return SendMessageA(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&volume));
}

}  // namespace nphost
