// Ctrl+C and Ctrl+Break in the console as an event, so that a wait can end on them.
#pragma once

#include <windows.h>

#include "win32/Event.h"

// While an object lives, the first Ctrl+C or Ctrl+Break signals its event instead of
// ending the process; the next one ends it. One at a time: the console calls a plain
// function, which finds the event through a single process-wide slot.
class ConsoleInterrupt {
 public:
  ConsoleInterrupt();
  ~ConsoleInterrupt();

  ConsoleInterrupt(const ConsoleInterrupt&) = delete;
  ConsoleInterrupt& operator=(const ConsoleInterrupt&) = delete;

  HANDLE Event() const { return m_event.GetHandle(); }

  // What the console calls on its own thread: TRUE when the event took the signal.
  static BOOL WINAPI Handler(DWORD controlType);

 private:
  kelmar::Win32::CManualResetEvent m_event;
};
