// Exceptions of the toolkit: texts, codes, copies, and what catches them.
#include <gtest/gtest.h>

#include <exception>
#include <string>
#include <type_traits>

#include "win32/Exceptions.h"

using kelmar::Win32::CExceptionEx;
using kelmar::Win32::CWin32Exception;
using kelmar::Win32::GetErrorText;

namespace {

bool EndsWithCrLf(const std::string& text) {
  return text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0;
}

std::string SystemText(DWORD code) {
  char buffer[512] = {};
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0, buffer, 511, nullptr);
  return n ? std::string(buffer) : std::string();
}

TEST(Exceptions, Win32ExceptionForSuccessCarriesTheSystemTextAndCodeZero) {
  const CWin32Exception e("CEvent::Set()", 0);
  EXPECT_EQ(e.GetErrorCode(), 0u);
  EXPECT_FALSE(e.GetMessageText().empty());
  EXPECT_TRUE(EndsWithCrLf(e.GetMessageText())) << e.GetMessageText();
  EXPECT_EQ(e.GetMessageText(), SystemText(0));
}

TEST(Exceptions, KnownCodesGiveExactlyTheSystemText) {
  for (DWORD code : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE, ERROR_PIPE_BUSY}) {
    const std::string expected = SystemText(code);
    ASSERT_FALSE(expected.empty()) << code;
    EXPECT_EQ(GetErrorText(code), expected) << code;
    EXPECT_TRUE(EndsWithCrLf(GetErrorText(code))) << code;
  }
}

TEST(Exceptions, CodeWithoutSystemTextStillGivesANonEmptyText) {
  const DWORD noSuchMessage = 0x2000FFFFu;
  ASSERT_TRUE(SystemText(noSuchMessage).empty()) << "precondition: the system has no text for this code";
  const std::string text = GetErrorText(noSuchMessage);
  EXPECT_FALSE(text.empty());
  EXPECT_TRUE(EndsWithCrLf(text)) << text;

  const CWin32Exception e("CThread::Wait() - WaitForSingleObject", noSuchMessage);
  EXPECT_EQ(e.GetErrorCode(), noSuchMessage);
  EXPECT_EQ(e.GetMessageText(), text);
}

TEST(Exceptions, OriginIsKeptExactlyIncludingATrailingBlank) {
  const CWin32Exception e("CHIDListenThread::Run() - CreateFile ", ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(e.GetOrigin(), "CHIDListenThread::Run() - CreateFile ");
}

TEST(Exceptions, Win32ExceptionIsCaughtAsExceptionExWithTheSameTexts) {
  const CWin32Exception thrown("CThread::Start() - GetExitCodeThread", ERROR_INVALID_HANDLE);
  try {
    throw thrown;
  } catch (const CExceptionEx& caught) {
    EXPECT_EQ(caught.GetOrigin(), thrown.GetOrigin());
    EXPECT_EQ(caught.GetMessageText(), thrown.GetMessageText());
    EXPECT_NE(dynamic_cast<const CWin32Exception*>(&caught), nullptr);
  }
}

TEST(Exceptions, StandardExceptionHandlersDoNotCatchThem) {
  static_assert(!std::is_base_of<std::exception, CExceptionEx>::value, "not a std::exception");
  static_assert(!std::is_base_of<std::exception, CWin32Exception>::value, "not a std::exception");
  bool caughtAsStd = false;
  bool caughtAsToolkit = false;
  try {
    try {
      throw CExceptionEx("CThread::Start()", "Thread already running - you can only call Start() once!");
    } catch (const std::exception&) {
      caughtAsStd = true;
    }
  } catch (const CExceptionEx&) {
    caughtAsToolkit = true;
  }
  EXPECT_FALSE(caughtAsStd);
  EXPECT_TRUE(caughtAsToolkit);
}

TEST(Exceptions, CopiesAndReturnedTextsAreIndependent) {
  const CWin32Exception original("CEvent::Reset()", ERROR_ACCESS_DENIED);
  const CWin32Exception copy = original;
  EXPECT_EQ(copy.GetOrigin(), "CEvent::Reset()");
  EXPECT_EQ(copy.GetMessageText(), original.GetMessageText());
  EXPECT_EQ(copy.GetErrorCode(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

  std::string origin = original.GetOrigin();
  origin += " changed";
  std::string message = original.GetMessageText();
  message.clear();
  EXPECT_EQ(original.GetOrigin(), "CEvent::Reset()");
  EXPECT_FALSE(original.GetMessageText().empty());
}

}  // namespace
