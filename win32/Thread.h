// Base of the worker threads: one thread at a time runs the derived class's Run.
#pragma once

#include <windows.h>

namespace kelmar {
namespace Win32 {

class CThread {
 public:
  CThread();
  // Closes the handle; does not stop or wait for the thread, so the owner ends it first.
  virtual ~CThread();

  CThread(const CThread&) = delete;
  CThread& operator=(const CThread&) = delete;

  // Starts a thread running Run. Refuses while the previous thread still runs.
  void Start();
  // Returns once the thread has ended, at once if none was started.
  void Wait();
  bool IsRunning() const;
  // The last started thread's handle (null before the first start); still owned here.
  HANDLE GetThreadHandle() const { return m_thread; }

 protected:
  // The thread body; its result is the thread's exit code. Must not return 259
  // (STILL_ACTIVE): the thread would look as if it were still running.
  virtual DWORD Run() = 0;

 private:
  static unsigned __stdcall ThreadEntry(void* argument);

  HANDLE m_thread;
};

}  // namespace Win32
}  // namespace kelmar
