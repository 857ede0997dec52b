#include "win32/Event.h"

#include "win32/Exceptions.h"

namespace kelmar {
namespace Win32 {

CEvent::CEvent(SECURITY_ATTRIBUTES* security, bool manualReset, bool initiallySignalled)
    : m_handle(CreateEventA(security, manualReset ? TRUE : FALSE, initiallySignalled ? TRUE : FALSE, nullptr)) {
  if (m_handle == nullptr) {
    throw CWin32Exception("CEvent::Create()", GetLastError());
  }
}

CEvent::~CEvent() { CloseHandle(m_handle); }

void CEvent::Set() {
  if (!SetEvent(m_handle)) {
    throw CWin32Exception("CEvent::Set()", GetLastError());
  }
}

void CEvent::Reset() {
  if (!ResetEvent(m_handle)) {
    throw CWin32Exception("CEvent::Reset()", GetLastError());
  }
}

CManualResetEvent::CManualResetEvent(bool initiallySignalled) : CEvent(nullptr, true, initiallySignalled) {}

CManualResetEvent::~CManualResetEvent() = default;

}  // namespace Win32
}  // namespace kelmar
