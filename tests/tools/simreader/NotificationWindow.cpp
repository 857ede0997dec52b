#include "tests/tools/simreader/NotificationWindow.h"

extern "C" {
#include <hidsdi.h>
}

#include <algorithm>
#include <cstddef>

namespace SharedSessionTests {
namespace {

constexpr char kClassName[] = "SimReaderNotificationWindow";

void RegisterClassOnce() {
  static const ATOM atom = [] {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;  // until the instance is attached
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kClassName;
    return RegisterClassA(&windowClass);
  }();
  (void)atom;
}

bool Opens(const std::string& path) {
  const kelmar::Win32::UniqueFileHandle handle(
      CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  return handle.IsValid();
}

}  // namespace

NotificationWindow::NotificationWindow() {
  RegisterClassOnce();
  m_window.Reset(
      CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr), nullptr));
  if (m_window) {
    SetWindowLongPtrA(m_window.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrA(m_window.Get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Procedure));
  }
}

kelmar::Win32::UniqueDeviceNotification NotificationWindow::RegisterForHid() const {
  DEV_BROADCAST_DEVICEINTERFACE_A filter{};
  filter.dbcc_size = sizeof(filter);
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  HidD_GetHidGuid(&filter.dbcc_classguid);
  return kelmar::Win32::UniqueDeviceNotification(
      RegisterDeviceNotificationA(m_window.Get(), &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
}

LRESULT CALLBACK NotificationWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<NotificationWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (message == WM_DEVICECHANGE && self != nullptr && lParam != 0) {
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
    ReceivedNotification received{wParam, header->dbch_size, header->dbch_devicetype, GUID{}, std::string(), false};
    if (header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE) {
      const auto* deviceInterface = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(lParam);
      received.classGuid = deviceInterface->dbcc_classguid;
      received.name = deviceInterface->dbcc_name;
      received.deviceOpened = Opens(received.name);
    }
    self->m_received.push_back(received);
    return TRUE;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeout) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (done()) return true;
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= timeout) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(timeout - elapsed, 20), QS_ALLINPUT);
  }
}

}  // namespace SharedSessionTests
