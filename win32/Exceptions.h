// Exceptions of the toolkit: the failing operation and why it failed.
#pragma once

#include <windows.h>

#include <string>

namespace kelmar {
namespace Win32 {

// The system's text for a Win32 error code, CR LF included.
std::string GetErrorText(DWORD errorCode);

// Origin ("CClass::Operation()" optionally followed by " - FailingCall") and message.
// Deliberately not derived from std::exception.
class CExceptionEx {
 public:
  CExceptionEx(const std::string& origin, const std::string& message);
  virtual ~CExceptionEx();

  virtual std::string GetOrigin() const;
  virtual std::string GetMessageText() const;

 private:
  std::string m_origin;
  std::string m_message;
};

// A failed Win32 or run-time call: the message is the system's text for the code.
class CWin32Exception : public CExceptionEx {
 public:
  CWin32Exception(const std::string& origin, DWORD errorCode);

  DWORD GetErrorCode() const { return m_errorCode; }

 private:
  DWORD m_errorCode;
};

}  // namespace Win32
}  // namespace kelmar
