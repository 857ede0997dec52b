#include "bridge/ConsoleStop.h"

#include <atomic>

#include "win32/Exceptions.h"

namespace {

// The console's handler takes no context argument.
std::atomic<ConsoleStop*> g_installed{nullptr};

bool IsStopEvent(DWORD controlType) {
  switch (controlType) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      return true;
    default:
      return false;
  }
}

}  // namespace

ConsoleStop::ConsoleStop() : m_stopRequested(false), m_readerClosed(false) {
  ConsoleStop* expected = nullptr;
  if (!g_installed.compare_exchange_strong(expected, this)) {
    throw kelmar::Win32::CExceptionEx("ConsoleStop::ConsoleStop()", "Only one may exist at a time");
  }
  // Without the handler the console still ends the program, only with the reader open.
  SetConsoleCtrlHandler(&ConsoleStop::Handler, TRUE);
}

ConsoleStop::~ConsoleStop() {
  ReaderClosed();
  SetConsoleCtrlHandler(&ConsoleStop::Handler, FALSE);
  g_installed.store(nullptr);
}

void ConsoleStop::ReaderClosed() noexcept { SetEvent(m_readerClosed.GetHandle()); }

BOOL WINAPI ConsoleStop::Handler(DWORD controlType) {
  ConsoleStop* const installed = g_installed.load();
  if (installed == nullptr || !IsStopEvent(controlType)) return FALSE;
  SetEvent(installed->m_stopRequested.GetHandle());
  WaitForSingleObject(installed->m_readerClosed.GetHandle(), INFINITE);
  return TRUE;
}
