// Exceptions of the toolkit: texts, codes, copies, and what catches them.
#include <gtest/gtest.h>

#include <exception>
#include <string>
#include <type_traits>
#include <vector>

#include "tests/support/ImportHook.h"
#include "win32/Exceptions.h"

using kelmar::Win32::CExceptionEx;
using kelmar::Win32::CWin32Exception;
using kelmar::Win32::GetErrorText;
using TestSupport::ImportHook;

namespace {

bool EndsWithCrLf(const std::string& text) { return text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0; }

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

// The text of the first code in the chain from `code` that the system can format: each
// failed formatting leads to the code it failed with. Empty when none does within a few
// steps.
std::string FirstTextInChain(DWORD code) {
  for (int step = 0; step < 8; ++step) {
    const std::string text = SystemText(code);
    if (!text.empty()) return text;
    code = GetLastError();
  }
  return {};
}

TEST(Exceptions, CodeWithoutSystemTextGivesTheTextOfTheMessageNotFoundError) {
  const DWORD noSuchMessage = 0x2000FFFFu;
  char buffer[512] = {};
  ASSERT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, noSuchMessage, 0, buffer, 511, nullptr), 0u);
  ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
  // Windows formats the message-not-found error itself (or the error its inserts cause);
  // Wine has no text for it either, and the chain ends in the text of its bounded end.
  const std::string expected = FirstTextInChain(ERROR_MR_MID_NOT_FOUND);
  const std::string text = GetErrorText(noSuchMessage);
  if (!expected.empty()) {
    EXPECT_EQ(text, expected);
  } else {
    EXPECT_NE(text.find(std::to_string(noSuchMessage)), std::string::npos) << text;
    EXPECT_TRUE(EndsWithCrLf(text)) << text;
  }
}

// FormatMessageA as the program calls it, with answers chosen by the test for a few
// made-up codes; every other code is formatted by the system.
struct FormatAnswer {
  DWORD code;
  DWORD failsWith;  // the last error of a failed formatting
};
std::vector<FormatAnswer> g_answers;
std::vector<DWORD> g_formatted;  // codes asked for, in order
bool g_argumentsAsExpected = true;
ImportHook* g_formatHook = nullptr;

DWORD WINAPI ScriptedFormatMessage(DWORD flags, LPCVOID source, DWORD code, DWORD language, LPSTR buffer, DWORD size,
                                   va_list* arguments) {
  g_formatted.push_back(code);
  // Flags FROM_SYSTEM alone, no source, default language, 511 of a 512-byte buffer, no inserts.
  g_argumentsAsExpected = g_argumentsAsExpected && flags == FORMAT_MESSAGE_FROM_SYSTEM && source == nullptr &&
                          language == 0 && size == 511 && arguments == nullptr;
  for (const FormatAnswer& answer : g_answers) {
    if (answer.code == code) {
      SetLastError(answer.failsWith);
      return 0;
    }
  }
  return g_formatHook->OriginalAs<decltype(FormatMessageA)>()(flags, source, code, language, buffer, size, arguments);
}

TEST(Exceptions, EachFailedFormattingFallsBackToTheTextOfItsOwnError) {
  constexpr DWORD kLongText = 0x20001000u;    // a text longer than the buffer
  constexpr DWORD kFirstStep = 0x20001001u;   // fails with another made-up code...
  constexpr DWORD kSecondStep = 0x20001002u;  // ...whose formatting fails with a real code
  constexpr DWORD kEndless = 0x20001003u;     // fails with itself, every time
  struct Case {
    const char* name;
    DWORD code;
    std::string expected;
  };
  const Case cases[] = {
      {"message longer than the buffer", kLongText, SystemText(ERROR_INSUFFICIENT_BUFFER)},
      {"two steps", kFirstStep, SystemText(ERROR_INVALID_PARAMETER)},
  };
  ImportHook hook(GetModuleHandleA(nullptr), "kernel32.dll", "FormatMessageA",
                  ImportHook::Address(&ScriptedFormatMessage));
  g_formatHook = &hook;
  g_answers = {{kLongText, ERROR_INSUFFICIENT_BUFFER},
               {kFirstStep, kSecondStep},
               {kSecondStep, ERROR_INVALID_PARAMETER},
               {kEndless, kEndless}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_FALSE(c.expected.empty());
    g_formatted.clear();
    EXPECT_EQ(GetErrorText(c.code), c.expected);
    EXPECT_EQ(g_formatted.front(), c.code);
  }

  // A system that never manages: the chain stops after a few steps with a text of its own.
  g_formatted.clear();
  const std::string text = GetErrorText(kEndless);
  EXPECT_GT(g_formatted.size(), 1u);
  EXPECT_LE(g_formatted.size(), 8u);
  EXPECT_NE(text.find(std::to_string(kEndless)), std::string::npos) << text;
  EXPECT_TRUE(EndsWithCrLf(text)) << text;
  EXPECT_TRUE(g_argumentsAsExpected);
  g_formatHook = nullptr;
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
