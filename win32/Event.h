// Unnamed Win32 event objects.
#pragma once

#include <windows.h>

namespace kelmar {
namespace Win32 {

class CEvent {
 public:
  // Throws CWin32Exception("CEvent::Create()") when the event cannot be created.
  CEvent(SECURITY_ATTRIBUTES* security, bool manualReset, bool initiallySignalled);
  virtual ~CEvent();

  CEvent(const CEvent&) = delete;
  CEvent& operator=(const CEvent&) = delete;

  void Set();    // throws CWin32Exception("CEvent::Set()")
  void Reset();  // throws CWin32Exception("CEvent::Reset()")

  // Borrowed: valid while this object lives; never close it.
  HANDLE GetHandle() const { return m_handle; }

 private:
  HANDLE m_handle;
};

class CManualResetEvent : public CEvent {
 public:
  explicit CManualResetEvent(bool initiallySignalled);
  ~CManualResetEvent() override;
};

}  // namespace Win32
}  // namespace kelmar
