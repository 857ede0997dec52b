// The console's close, Ctrl+C, Ctrl+Break, log-off and shut-down events as a request to
// stop the session. For close, log-off and shut-down the system ends the process as soon
// as the handler returns, so the handler does not return before the reader is closed.
#pragma once

#include <windows.h>

#include "win32/Event.h"

class ConsoleStop {
 public:
  // Installs the handler. One at a time: the console calls a plain function, which finds
  // this object through a single process-wide slot.
  ConsoleStop();
  // Releases a waiting handler, then removes the handler. A handler already running may
  // still be using this object: in the program it is never destroyed, the process ends
  // with it in place (ExitProcess ends the handler's thread first).
  ~ConsoleStop();

  ConsoleStop(const ConsoleStop&) = delete;
  ConsoleStop& operator=(const ConsoleStop&) = delete;

  // Set when the console asks the program to end.
  HANDLE StopRequested() const { return m_stopRequested.GetHandle(); }
  // Tells a waiting handler that the reader is closed, so it may return.
  void ReaderClosed() noexcept;

  // What the console calls on a thread of its own: sets StopRequested, waits for
  // ReaderClosed, and answers TRUE (handled). FALSE for events it does not know, or when
  // no object is installed.
  static BOOL WINAPI Handler(DWORD controlType);

 private:
  kelmar::Win32::CManualResetEvent m_stopRequested;
  kelmar::Win32::CManualResetEvent m_readerClosed;
};
