// Ctrl+C and Ctrl+Break in the console as an event, so that a wait can end on them.
#pragma once

#include <windows.h>

#include "win32/Event.h"

// While an object lives, Ctrl+C and Ctrl+Break signal its event instead of ending the
// process. One at a time: the console calls a plain function, which finds the event
// through a single process-wide slot.
class ConsoleInterrupt {
 public:
  ConsoleInterrupt();
  ~ConsoleInterrupt();

  ConsoleInterrupt(const ConsoleInterrupt&) = delete;
  ConsoleInterrupt& operator=(const ConsoleInterrupt&) = delete;

  HANDLE Event() const { return m_event.GetHandle(); }

 private:
  static BOOL WINAPI Handler(DWORD controlType);

  kelmar::Win32::CManualResetEvent m_event;
};
