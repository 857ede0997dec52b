// WM_DEVICECHANGE as Windows sends it to a window registered for device-interface
// notifications. Wine never sends these for simulated devices, so the host does.
#pragma once

#include <windows.h>
#include <dbt.h>

#include <string>

namespace nphost {

// The device-interface class GUID of HID devices.
extern const GUID kHidInterfaceClass;

// Sends (synchronously, as the system does) a DEV_BROADCAST_DEVICEINTERFACE_A with the
// interface's class and path: DBT_DEVICEARRIVAL or DBT_DEVICEREMOVECOMPLETE.
LRESULT SendDeviceInterfaceChange(HWND window, WPARAM event, const std::string& path,
                                  const GUID& interfaceClass = kHidInterfaceClass);
// Sends an event about a device of another type (a volume for DBT_DEVTYP_VOLUME, a bare
// header otherwise), or with no header at all when `deviceType` is 0 (DBT_DEVNODES_CHANGED).
LRESULT SendDeviceChange(HWND window, WPARAM event, DWORD deviceType);

}  // namespace nphost
