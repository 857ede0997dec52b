#include "bridge/DeviceWindow.h"

#include "win32/Exceptions.h"
#include "win32/IntegerPointer.h"

namespace {

void RegisterDeviceWindowClass(WNDPROC procedure) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kDeviceWindowClass;
  // The class stays registered for the life of the process; a second session registers
  // it again, harmlessly.
  if (RegisterClassA(&windowClass) != 0) return;
  const DWORD error = GetLastError();
  if (error != ERROR_CLASS_ALREADY_EXISTS) {
    throw kelmar::Win32::CWin32Exception("DeviceWindow::DeviceWindow() - RegisterClassA", error);
  }
}

}  // namespace

DeviceWindow::DeviceWindow(IDeviceChangeReceiver& receiver) {
  RegisterDeviceWindowClass(&DeviceWindow::Procedure);
  m_window.Reset(CreateWindowExA(0, kDeviceWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleA(nullptr), &receiver));
  if (!m_window) {
    throw kelmar::Win32::CWin32Exception("DeviceWindow::DeviceWindow() - CreateWindowExA", GetLastError());
  }
}

void DeviceWindow::PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    DispatchMessageA(&message);
  }
}

LRESULT CALLBACK DeviceWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = kelmar::Win32::PointerFromInteger<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  } else if (message == WM_DEVICECHANGE) {
    if (auto* receiver =
            kelmar::Win32::PointerFromInteger<IDeviceChangeReceiver*>(GetWindowLongPtrA(window, GWLP_USERDATA))) {
      receiver->OnDeviceChange(wParam, kelmar::Win32::PointerFromInteger<const DEV_BROADCAST_HDR*>(lParam));
    }
    return TRUE;  // grants the queries among these events (removal may go ahead)
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
