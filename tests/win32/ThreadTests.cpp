// The thread base class: start, restart, refusal, exit codes and waiting.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>

#include "win32/Event.h"
#include "win32/Exceptions.h"
#include "win32/Thread.h"

using kelmar::Win32::CExceptionEx;
using kelmar::Win32::CManualResetEvent;
using kelmar::Win32::CThread;

namespace {

constexpr DWORD kGenerous = 10000;

// A thread whose body is given by the test.
class FunctionThread : public CThread {
 public:
  explicit FunctionThread(std::function<DWORD()> body) : m_body(std::move(body)) {}
  std::atomic<int> runs{0};

 protected:
  DWORD Run() override {
    ++runs;
    return m_body();
  }

 private:
  std::function<DWORD()> m_body;
};

DWORD ExitCodeOf(const CThread& thread) {
  DWORD code = 0xDEADBEEF;
  EXPECT_TRUE(GetExitCodeThread(thread.GetThreadHandle(), &code));
  return code;
}

TEST(Thread, NeverStartedThreadIsNotRunningAndWaitReturnsAtOnce) {
  FunctionThread thread([] { return DWORD{0}; });
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_EQ(thread.GetThreadHandle(), nullptr);
  thread.Wait();
  EXPECT_EQ(thread.runs, 0);
}

TEST(Thread, ExitCodeIsRunsResultAndWaitReturnsEveryTime) {
  FunctionThread thread([] { return DWORD{7}; });
  thread.Start();
  thread.Wait();
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_EQ(ExitCodeOf(thread), 7u);
  thread.Wait();
  thread.Wait();
  EXPECT_EQ(thread.runs, 1);
}

TEST(Thread, SecondStartWhileRunningIsRefusedAndTheFirstThreadGoesOn) {
  CManualResetEvent release(false);
  FunctionThread thread([&] {
    WaitForSingleObject(release.GetHandle(), INFINITE);
    return DWORD{3};
  });
  thread.Start();
  const HANDLE first = thread.GetThreadHandle();
  try {
    thread.Start();
    ADD_FAILURE() << "second Start did not throw";
  } catch (const CExceptionEx& e) {
    EXPECT_EQ(e.GetOrigin(), "CThread::Start()");
    EXPECT_EQ(e.GetMessageText(), "Thread already running - you can only call Start() once!");
  }
  EXPECT_TRUE(thread.IsRunning());
  EXPECT_EQ(thread.GetThreadHandle(), first);
  release.Set();
  thread.Wait();
  EXPECT_EQ(ExitCodeOf(thread), 3u);
  EXPECT_EQ(thread.runs, 1);
}

TEST(Thread, RestartsAfterTheThreadEndedWithOrWithoutWait) {
  FunctionThread thread([] { return DWORD{5}; });
  thread.Start();
  thread.Wait();
  thread.Start();  // after Wait
  thread.Wait();
  EXPECT_EQ(thread.runs, 2);

  thread.Start();
  // Without Wait: let it end on its own first.
  ASSERT_EQ(WaitForSingleObject(thread.GetThreadHandle(), kGenerous), static_cast<DWORD>(WAIT_OBJECT_0));
  thread.Start();
  thread.Wait();
  EXPECT_EQ(thread.runs, 4);
  EXPECT_EQ(ExitCodeOf(thread), 5u);
}

TEST(Thread, ExceptionFromRunEndsTheThreadWithExitCodeZero) {
  FunctionThread thread([]() -> DWORD { throw CExceptionEx("Test::Run()", "escapes the body"); });
  thread.Start();
  thread.Wait();
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_EQ(ExitCodeOf(thread), 0u);

  FunctionThread anyType([]() -> DWORD { throw 42; });
  anyType.Start();
  anyType.Wait();
  EXPECT_EQ(ExitCodeOf(anyType), 0u);
}

TEST(Thread, RunReturningStillActiveLooksRunningForEver) {
  FunctionThread thread([] { return static_cast<DWORD>(STILL_ACTIVE); });
  thread.Start();
  thread.Wait();  // the wait itself sees the thread end
  EXPECT_TRUE(thread.IsRunning());
  EXPECT_THROW(thread.Start(), CExceptionEx);
}

TEST(Thread, ImmediateReturnBeforeStartReturnsIsAnOrdinaryEnd) {
  FunctionThread thread([] { return DWORD{0}; });
  for (int i = 0; i < 20; ++i) {
    thread.Start();
    thread.Wait();
    EXPECT_FALSE(thread.IsRunning());
  }
  EXPECT_EQ(thread.runs, 20);
}

}  // namespace
