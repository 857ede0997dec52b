// Events and critical sections behave as the Win32 objects they wrap.
#include <gtest/gtest.h>

#include <process.h>

#include <functional>
#include <stdexcept>

#include "win32/CriticalSection.h"
#include "win32/Event.h"
#include "win32/Exceptions.h"
#include "win32/UniqueResource.h"

using kelmar::Win32::CCriticalSection;
using kelmar::Win32::CCriticalSectionLock;
using kelmar::Win32::CEvent;
using kelmar::Win32::CManualResetEvent;
using kelmar::Win32::CWin32Exception;
using kelmar::Win32::UniqueHandle;

namespace {

constexpr DWORD kGenerous = 10000;  // a wait that should succeed
constexpr DWORD kBrief = 100;       // a wait that should time out

bool IsSignalled(HANDLE h) { return WaitForSingleObject(h, 0) == WAIT_OBJECT_0; }

// Runs a function on a plain Win32 thread (not the class under test elsewhere).
class TestThread {
 public:
  explicit TestThread(std::function<void()> body) : m_body(std::move(body)) {
    m_handle.Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &Entry, this, 0, nullptr)));
  }
  ~TestThread() { Join(); }
  bool Join(DWORD timeout = kGenerous) {
    return !m_handle || WaitForSingleObject(m_handle.Get(), timeout) == WAIT_OBJECT_0;
  }

 private:
  static unsigned __stdcall Entry(void* self) {
    static_cast<TestThread*>(self)->m_body();
    return 0;
  }
  std::function<void()> m_body;
  UniqueHandle m_handle;
};

TEST(Event, ManualResetEventStaysSignalledUntilReset) {
  CManualResetEvent event(false);
  EXPECT_FALSE(IsSignalled(event.GetHandle()));
  event.Set();
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(IsSignalled(event.GetHandle()));
  event.Set();  // already signalled: still fine
  EXPECT_TRUE(IsSignalled(event.GetHandle()));
  event.Reset();
  EXPECT_FALSE(IsSignalled(event.GetHandle()));
  event.Reset();  // not signalled: still fine
  EXPECT_FALSE(IsSignalled(event.GetHandle()));
}

TEST(Event, InitiallySignalledAndAutoResetAreHonoured) {
  CManualResetEvent signalled(true);
  EXPECT_TRUE(IsSignalled(signalled.GetHandle()));

  CEvent autoReset(nullptr, false, true);
  EXPECT_TRUE(IsSignalled(autoReset.GetHandle()));
  EXPECT_FALSE(IsSignalled(autoReset.GetHandle()));  // the first wait consumed it
}

TEST(Event, TwoEventsNeverShareAKernelObject) {
  CManualResetEvent first(false);
  CManualResetEvent second(false);
  EXPECT_NE(first.GetHandle(), second.GetHandle());
  first.Set();
  EXPECT_FALSE(IsSignalled(second.GetHandle()));
}

TEST(Event, FailedSetAndResetThrowWithTheirOrigin) {
  // Closing the handle behind the object's back makes SetEvent and ResetEvent fail.
  auto event = std::make_unique<CManualResetEvent>(false);
  CloseHandle(event->GetHandle());
  try {
    event->Set();
    ADD_FAILURE() << "Set did not throw";
  } catch (const CWin32Exception& e) {
    EXPECT_EQ(e.GetOrigin(), "CEvent::Set()");
    EXPECT_EQ(e.GetErrorCode(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  }
  try {
    event->Reset();
    ADD_FAILURE() << "Reset did not throw";
  } catch (const CWin32Exception& e) {
    EXPECT_EQ(e.GetOrigin(), "CEvent::Reset()");
  }
  event.reset();  // its CloseHandle fails and is ignored
}

TEST(CriticalSection, OwnerMayEnterAgainAndOthersWaitForTheLastRelease) {
  CCriticalSection section;
  CManualResetEvent otherEntered(false);
  std::unique_ptr<TestThread> other;
  {
    CCriticalSectionLock outer(section);
    {
      CCriticalSectionLock inner(section);  // re-entry does not block
      other = std::make_unique<TestThread>([&] {
        CCriticalSectionLock lock(section);
        otherEntered.Set();
      });
      EXPECT_EQ(WaitForSingleObject(otherEntered.GetHandle(), kBrief), static_cast<DWORD>(WAIT_TIMEOUT));
    }
    // One lock still held: the other thread still waits.
    EXPECT_EQ(WaitForSingleObject(otherEntered.GetHandle(), kBrief), static_cast<DWORD>(WAIT_TIMEOUT));
  }
  EXPECT_EQ(WaitForSingleObject(otherEntered.GetHandle(), kGenerous), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_TRUE(other->Join());
}

TEST(CriticalSection, LockIsReleasedWhileAnExceptionUnwinds) {
  CCriticalSection section;
  bool caught = false;
  TestThread thrower([&] {
    try {
      CCriticalSectionLock lock(section);
      throw std::runtime_error("leaves the scope");
    } catch (const std::runtime_error&) {
      caught = true;
    }
  });
  ASSERT_TRUE(thrower.Join());
  EXPECT_TRUE(caught);

  CManualResetEvent entered(false);
  TestThread other([&] {
    CCriticalSectionLock lock(section);
    entered.Set();
  });
  EXPECT_EQ(WaitForSingleObject(entered.GetHandle(), kGenerous), static_cast<DWORD>(WAIT_OBJECT_0));
}

}  // namespace
