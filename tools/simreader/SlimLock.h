// An exclusive lock and a condition over Windows' slim reader/writer locks. Neither holds a
// kernel object, so a contended wait leaves no handle behind: the simulator's handle count
// stays exactly what its devices and pipes need, which leak tests rely on.
#pragma once

#include <windows.h>

class SlimLock {
 public:
  SlimLock() = default;
  SlimLock(const SlimLock&) = delete;
  SlimLock& operator=(const SlimLock&) = delete;

  // For std::lock_guard and std::unique_lock.
  void lock() { AcquireSRWLockExclusive(&m_lock); }
  void unlock() { ReleaseSRWLockExclusive(&m_lock); }

 private:
  friend class SlimCondition;
  SRWLOCK m_lock = SRWLOCK_INIT;
};

class SlimCondition {
 public:
  SlimCondition() = default;
  SlimCondition(const SlimCondition&) = delete;
  SlimCondition& operator=(const SlimCondition&) = delete;

  // With `lock` held: waits until `done()` holds, at most `timeout` milliseconds in all.
  template <typename Predicate>
  bool WaitFor(SlimLock& lock, DWORD timeout, Predicate done) {
    const DWORD start = GetTickCount();
    while (!done()) {
      const DWORD elapsed = GetTickCount() - start;
      if (elapsed >= timeout) return false;
      SleepConditionVariableSRW(&m_condition, &lock.m_lock, timeout - elapsed, 0);
    }
    return true;
  }
  void NotifyAll() { WakeAllConditionVariable(&m_condition); }

 private:
  CONDITION_VARIABLE m_condition = CONDITION_VARIABLE_INIT;
};
