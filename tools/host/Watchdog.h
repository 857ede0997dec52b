// Ends the process with exit code 3 and a message when a guarded stretch of work takes
// longer than allowed: a hang of the plug-in then fails a run instead of stalling it.
#pragma once

#include <windows.h>

#include <string>

#include "win32/Event.h"
#include "win32/UniqueResource.h"

namespace nphost {

class Watchdog {
 public:
  Watchdog(DWORD timeoutMilliseconds, std::string what);
  // Disarms the watchdog.
  ~Watchdog();
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

 private:
  static unsigned __stdcall Watch(void* self);

  DWORD m_timeout;
  std::string m_what;
  kelmar::Win32::CManualResetEvent m_disarmed;
  kelmar::Win32::UniqueHandle m_thread;
};

}  // namespace nphost
