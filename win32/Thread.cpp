#include "win32/Thread.h"

#include <process.h>

#include <cerrno>

#include "win32/Exceptions.h"
#include "win32/IntegerPointer.h"

namespace kelmar {
namespace Win32 {

CThread::CThread() : m_thread(nullptr) {}

CThread::~CThread() {
  if (m_thread != nullptr) {
    CloseHandle(m_thread);
  }
}

void CThread::Start() {
  if (m_thread != nullptr) {
    DWORD exitCode = STILL_ACTIVE;
    if (!GetExitCodeThread(m_thread, &exitCode)) {
      throw CWin32Exception("CThread::Start() - GetExitCodeThread", GetLastError());
    }
    if (exitCode != STILL_ACTIVE) {
      CloseHandle(m_thread);
      m_thread = nullptr;
    }
  }
  if (m_thread != nullptr) {
    throw CExceptionEx("CThread::Start()", "Thread already running - you can only call Start() once!");
  }

  unsigned threadId = 0;
  const uintptr_t handle = _beginthreadex(nullptr, 0, &CThread::ThreadEntry, this, 0, &threadId);
  m_thread = kelmar::Win32::PointerFromInteger<HANDLE>(handle);
  if (m_thread == nullptr) {
    throw CWin32Exception("CThread::Start() - _beginthreadex", static_cast<DWORD>(errno));
  }
}

void CThread::Wait() {
  if (m_thread == nullptr) {
    return;
  }
  const DWORD result = WaitForSingleObject(m_thread, INFINITE);
  if (result == WAIT_OBJECT_0) {
    return;
  }
  if (result == WAIT_TIMEOUT) {
    throw CExceptionEx("CThread::Wait()", "Unexpected timeout on infinite wait");
  }
  throw CWin32Exception("CThread::Wait() - WaitForSingleObject", GetLastError());
}

bool CThread::IsRunning() const {
  if (m_thread == nullptr) {
    return false;
  }
  DWORD exitCode = STILL_ACTIVE;
  GetExitCodeThread(m_thread, &exitCode);  // a failed query leaves STILL_ACTIVE: "running"
  return exitCode == STILL_ACTIVE;
}

unsigned __stdcall CThread::ThreadEntry(void* argument) {
  if (argument == nullptr) {
    return 0;
  }
  try {
    return static_cast<unsigned>(static_cast<CThread*>(argument)->Run());
  } catch (...) {
    // Whatever escapes the body ends the thread quietly with exit code 0.
    return 0;
  }
}

}  // namespace Win32
}  // namespace kelmar
