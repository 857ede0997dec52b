// The thread base class when the system fails it: the exit-code query, thread creation
// and the wait, each made to fail through the program's own import entries.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "tests/support/ImportHook.h"
#include "win32/Event.h"
#include "win32/Exceptions.h"
#include "win32/Thread.h"

using kelmar::Win32::CExceptionEx;
using kelmar::Win32::CManualResetEvent;
using kelmar::Win32::CThread;
using kelmar::Win32::CWin32Exception;
using kelmar::Win32::GetErrorText;
using TestSupport::ImportHook;

namespace {

// Waits for `release` (if any), then returns 0.
class GatedThread : public CThread {
 public:
  explicit GatedThread(HANDLE release = nullptr) : m_release(release) {}

 protected:
  DWORD Run() override {
    if (m_release != nullptr) WaitForSingleObject(m_release, INFINITE);
    return 0;
  }

 private:
  HANDLE m_release;
};

HMODULE ThisProgram() { return GetModuleHandleA(nullptr); }

BOOL WINAPI ExitCodeQueryFails(HANDLE, LPDWORD) {
  SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

int g_beginCalls = 0;

uintptr_t __cdecl CreationFails(void*, unsigned, unsigned(__stdcall*)(void*), void*, unsigned, unsigned*) {
  ++g_beginCalls;
  SetLastError(ERROR_SUCCESS);  // the code must come from errno, not from here
  errno = EAGAIN;
  return 0;
}

DWORD g_waitResult = WAIT_FAILED;
DWORD g_waitError = ERROR_SUCCESS;
DWORD g_waitTimeout = 0;

DWORD WINAPI WaitAnswers(HANDLE, DWORD timeout) {
  g_waitTimeout = timeout;
  SetLastError(g_waitError);
  return g_waitResult;
}

template <typename Action>
CWin32Exception ExpectWin32Exception(Action action) {
  try {
    action();
  } catch (const CWin32Exception& e) {
    return e;
  }
  ADD_FAILURE() << "no CWin32Exception";
  return CWin32Exception("none", 0);
}

TEST(ThreadFailures, StartWhoseExitCodeQueryFailsThrowsAndKeepsTheHandle) {
  CManualResetEvent release(false);
  GatedThread thread(release.GetHandle());
  thread.Start();
  const HANDLE handle = thread.GetThreadHandle();
  {
    const ImportHook hook(ThisProgram(), "kernel32.dll", "GetExitCodeThread", ImportHook::Address(&ExitCodeQueryFails));
    const CWin32Exception e = ExpectWin32Exception([&] { thread.Start(); });
    EXPECT_EQ(e.GetOrigin(), "CThread::Start() - GetExitCodeThread");
    EXPECT_EQ(e.GetErrorCode(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(e.GetMessageText(), GetErrorText(ERROR_ACCESS_DENIED));
    EXPECT_EQ(thread.GetThreadHandle(), handle);
  }
  release.Set();
  thread.Wait();
}

TEST(ThreadFailures, IsRunningAnswersTrueWhenTheQueryFailsEvenForAnEndedThread) {
  GatedThread thread;
  thread.Start();
  thread.Wait();
  ASSERT_FALSE(thread.IsRunning());
  {
    const ImportHook hook(ThisProgram(), "kernel32.dll", "GetExitCodeThread", ImportHook::Address(&ExitCodeQueryFails));
    EXPECT_TRUE(thread.IsRunning());
  }
  EXPECT_FALSE(thread.IsRunning());
}

TEST(ThreadFailures, FailedCreationThrowsErrnoAsTheCodeAndKeepsNoHandle) {
  GatedThread thread;
  thread.Start();
  thread.Wait();  // an ended thread: its handle is closed before the new start
  ASSERT_NE(thread.GetThreadHandle(), nullptr);
  {
    g_beginCalls = 0;
    const ImportHook hook(ThisProgram(), "msvcrt.dll", "_beginthreadex", ImportHook::Address(&CreationFails));
    const CWin32Exception e = ExpectWin32Exception([&] { thread.Start(); });
    EXPECT_EQ(g_beginCalls, 1);
    EXPECT_EQ(e.GetOrigin(), "CThread::Start() - _beginthreadex");
    EXPECT_EQ(e.GetErrorCode(), static_cast<DWORD>(EAGAIN));
    EXPECT_EQ(e.GetMessageText(), GetErrorText(EAGAIN));
    EXPECT_EQ(thread.GetThreadHandle(), nullptr);
    EXPECT_FALSE(thread.IsRunning());
    thread.Wait();  // nothing to wait for
  }
  thread.Start();  // and the object starts again once creation works
  thread.Wait();
  EXPECT_FALSE(thread.IsRunning());
}

TEST(ThreadFailures, AFailedOrTimedOutWaitThrowsAndKeepsTheHandle) {
  struct Case {
    const char* name;
    DWORD result;
    DWORD lastError;
    const char* origin;
    std::string message;
  };
  const Case cases[] = {
      {"wait failed", WAIT_FAILED, ERROR_INVALID_HANDLE, "CThread::Wait() - WaitForSingleObject",
       GetErrorText(ERROR_INVALID_HANDLE)},
      {"abandoned", WAIT_ABANDONED, ERROR_NOT_ENOUGH_MEMORY, "CThread::Wait() - WaitForSingleObject",
       GetErrorText(ERROR_NOT_ENOUGH_MEMORY)},
      {"timed out", WAIT_TIMEOUT, ERROR_SUCCESS, "CThread::Wait()", "Unexpected timeout on infinite wait"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CManualResetEvent release(false);
    GatedThread thread(release.GetHandle());
    thread.Start();
    const HANDLE handle = thread.GetThreadHandle();
    {
      g_waitResult = c.result;
      g_waitError = c.lastError;
      g_waitTimeout = 0;
      const ImportHook hook(ThisProgram(), "kernel32.dll", "WaitForSingleObject", ImportHook::Address(&WaitAnswers));
      try {
        thread.Wait();
        ADD_FAILURE() << "Wait did not throw";
      } catch (const CExceptionEx& e) {
        EXPECT_EQ(e.GetOrigin(), c.origin);
        EXPECT_EQ(e.GetMessageText(), c.message);
        const auto* win32 = dynamic_cast<const CWin32Exception*>(&e);
        EXPECT_EQ(win32 != nullptr, c.result != WAIT_TIMEOUT);
        if (win32 != nullptr) {
          EXPECT_EQ(win32->GetErrorCode(), c.lastError);
        }
      }
      EXPECT_EQ(g_waitTimeout, INFINITE);
      EXPECT_EQ(thread.GetThreadHandle(), handle);
    }
    release.Set();
    thread.Wait();
    EXPECT_FALSE(thread.IsRunning());
  }
}

}  // namespace
