#include "win32/Exceptions.h"

namespace kelmar {
namespace Win32 {

namespace {

// Each fallback formats the code of the previous failure. A system that keeps failing
// would make that endless, so the chain stops after a few steps.
constexpr int kMaxFallbacks = 4;

bool FormatSystemMessage(DWORD code, std::string& text) {
  char buffer[512];
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0, buffer, 511, nullptr);
  if (length == 0) {
    return false;
  }
  buffer[511] = '\0';
  text = buffer;
  return true;
}

}  // namespace

std::string GetErrorText(DWORD errorCode) {
  DWORD code = errorCode;
  std::string text;
  for (int attempt = 0; attempt <= kMaxFallbacks; ++attempt) {
    if (FormatSystemMessage(code, text)) {
      return text;
    }
    code = GetLastError();
  }
  return "Unknown error " + std::to_string(errorCode) + " (no system message text)\r\n";
}

CExceptionEx::CExceptionEx(const std::string& origin, const std::string& message)
    : m_origin(origin), m_message(message) {}

CExceptionEx::~CExceptionEx() = default;

std::string CExceptionEx::GetOrigin() const { return m_origin; }

std::string CExceptionEx::GetMessageText() const { return m_message; }

CWin32Exception::CWin32Exception(const std::string& origin, DWORD errorCode)
    : CExceptionEx(origin, GetErrorText(errorCode)), m_errorCode(errorCode) {}

}  // namespace Win32
}  // namespace kelmar
