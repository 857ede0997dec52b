// Worker thread that reads a HID device's input reports with overlapped reads and hands
// each one, unchanged, to a receiver.
#pragma once

#include <windows.h>

#include <string>

#include "reader/InputReportProcess.h"
#include "reader/ListenEnd.h"
#include "win32/CriticalSection.h"
#include "win32/Event.h"
#include "win32/Thread.h"

class CHIDListenThread : public kelmar::Win32::CThread {
 public:
  // Size of the receive buffer. A device whose input reports are longer is not listened to.
  static constexpr DWORD kReceiveBufferSize = 1028;

  CHIDListenThread();
  ~CHIDListenThread() override;

  // Resets the stop event, then starts the thread, so a stop requested at any time
  // after this call is seen by the thread.
  void StartListening();
  // Sets the stop event and waits until the thread has ended (at once if none runs).
  void Stop();

  // Why the last run ended, with its Win32 code; Running while it runs. Read it once the
  // thread has ended (IsRunning false, or its handle signalled) to learn why.
  ListenEnd GetLastEnd() const;

  const std::string& GetDevicePath() const { return m_devicePath; }
  // Only while no thread runs.
  void SetDevicePath(const std::string& path) { m_devicePath = path; }
  void SetReceiver(IInputReportProcess* receiver) { m_receiver = receiver; }

 protected:
  DWORD Run() override;

 private:
  // Starting goes through StartListening, which resets the stop event first.
  using kelmar::Win32::CThread::Start;

  DWORD Listen();
  void SetLastEnd(const ListenEnd& end);
  // Keeps `end`, then throws CWin32Exception(origin, end.errorCode): the run is over.
  [[noreturn]] void EndRun(const ListenEnd& end, const char* origin);

  std::string m_devicePath;
  DWORD m_inputReportLength;
  kelmar::Win32::CManualResetEvent m_stopEvent;
  IInputReportProcess* m_receiver;
  mutable kelmar::Win32::CCriticalSection m_endLock;
  ListenEnd m_lastEnd;  // guarded by m_endLock: written on the listen thread, read by the owner
};
