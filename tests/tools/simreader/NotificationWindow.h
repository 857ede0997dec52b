// A message-only window that records the device-interface notifications it receives, and
// whether the device could be opened at the moment each one arrived.
#pragma once

#include <windows.h>
#include <dbt.h>

#include <functional>
#include <string>
#include <vector>

#include "win32/UniqueResource.h"

namespace SharedSessionTests {

struct ReceivedNotification {
  WPARAM event;
  DWORD size;        // dbcc_size
  DWORD deviceType;  // dbcc_devicetype
  GUID classGuid;
  std::string name;   // dbcc_name
  bool deviceOpened;  // CreateFileA on the name, while the message was handled
};

class NotificationWindow {
 public:
  NotificationWindow();
  NotificationWindow(const NotificationWindow&) = delete;
  NotificationWindow& operator=(const NotificationWindow&) = delete;

  HWND Handle() const { return m_window.Get(); }
  const std::vector<ReceivedNotification>& Received() const { return m_received; }
  // RegisterDeviceNotificationA for the HID interface class, as the reader manager does.
  kelmar::Win32::UniqueDeviceNotification RegisterForHid() const;
  void Destroy() { m_window.Reset(); }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  std::vector<ReceivedNotification> m_received;
  kelmar::Win32::UniqueWindow m_window;
};

// Handles this thread's messages (sent ones included) until `done` holds; false on time-out.
bool PumpUntil(const std::function<bool()>& done, DWORD timeout);

}  // namespace SharedSessionTests
