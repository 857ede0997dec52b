// A Win32 critical section, entered only through a scoped lock.
#pragma once

#include <windows.h>

namespace kelmar {
namespace Win32 {

class CCriticalSectionLock;

class CCriticalSection {
 public:
  CCriticalSection();
  ~CCriticalSection();

  CCriticalSection(const CCriticalSection&) = delete;
  CCriticalSection& operator=(const CCriticalSection&) = delete;

 private:
  friend class CCriticalSectionLock;
  CRITICAL_SECTION m_section;
};

// Holds the section from construction to destruction, also during unwinding.
// Re-entrant on the owning thread, as Win32 critical sections are.
class CCriticalSectionLock {
 public:
  explicit CCriticalSectionLock(CCriticalSection& section);
  ~CCriticalSectionLock();

  CCriticalSectionLock(const CCriticalSectionLock&) = delete;
  CCriticalSectionLock& operator=(const CCriticalSectionLock&) = delete;

 private:
  CCriticalSection* m_section;
};

}  // namespace Win32
}  // namespace kelmar
