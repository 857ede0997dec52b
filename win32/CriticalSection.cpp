#include "win32/CriticalSection.h"

namespace kelmar {
namespace Win32 {

CCriticalSection::CCriticalSection() : m_section{} { InitializeCriticalSection(&m_section); }

CCriticalSection::~CCriticalSection() { DeleteCriticalSection(&m_section); }

CCriticalSectionLock::CCriticalSectionLock(CCriticalSection& section) : m_section(&section) {
  EnterCriticalSection(&m_section->m_section);
}

CCriticalSectionLock::~CCriticalSectionLock() { LeaveCriticalSection(&m_section->m_section); }

}  // namespace Win32
}  // namespace kelmar
