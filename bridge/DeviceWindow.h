// The host's message-only window: it has no place on screen and exists to receive
// WM_DEVICECHANGE, for which the reader manager registers it.
#pragma once

#include <windows.h>
#include <dbt.h>

#include "win32/UniqueResource.h"

// Fixed, so that another process (a test, the simulated reader's control) can find the
// window with FindWindowExA(HWND_MESSAGE, nullptr, kDeviceWindowClass, nullptr).
constexpr char kDeviceWindowClass[] = "TarvxHostDeviceWindow";

class IDeviceChangeReceiver {
 public:
  // One WM_DEVICECHANGE, on the window's thread.
  virtual void OnDeviceChange(WPARAM event, const DEV_BROADCAST_HDR* header) noexcept = 0;

 protected:
  ~IDeviceChangeReceiver() = default;
};

class DeviceWindow {
 public:
  // Creates the window on the calling thread, which must dispatch its messages
  // (PumpMessages). Throws CWin32Exception when the window cannot be created.
  explicit DeviceWindow(IDeviceChangeReceiver& receiver);

  HWND Handle() const { return m_window.Get(); }

  // Dispatches every message waiting for the calling thread, messages sent from other
  // threads included.
  static void PumpMessages();

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  kelmar::Win32::UniqueWindow m_window;
};
