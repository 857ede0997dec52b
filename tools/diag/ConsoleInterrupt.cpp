#include "tools/diag/ConsoleInterrupt.h"

#include <atomic>

#include "win32/Exceptions.h"

namespace {

// The console's handler runs on a thread of its own and takes no context argument.
std::atomic<HANDLE> g_interruptEvent{nullptr};

}  // namespace

ConsoleInterrupt::ConsoleInterrupt() : m_event(false) {
  HANDLE expected = nullptr;
  if (!g_interruptEvent.compare_exchange_strong(expected, m_event.GetHandle())) {
    throw kelmar::Win32::CExceptionEx("ConsoleInterrupt::ConsoleInterrupt()", "Only one may exist at a time");
  }
  // Without the handler Ctrl+C still stops the program, only without the closing summary.
  SetConsoleCtrlHandler(&ConsoleInterrupt::Handler, TRUE);
}

ConsoleInterrupt::~ConsoleInterrupt() {
  SetConsoleCtrlHandler(&ConsoleInterrupt::Handler, FALSE);
  g_interruptEvent.store(nullptr);
}

BOOL WINAPI ConsoleInterrupt::Handler(DWORD controlType) {
  if (controlType != CTRL_C_EVENT && controlType != CTRL_BREAK_EVENT) {
    return FALSE;
  }
  const HANDLE event = g_interruptEvent.load();
  // A second Ctrl+C gets the default handling and ends the program at once: the way out
  // should anything not answer the first.
  if (event == nullptr || WaitForSingleObject(event, 0) == WAIT_OBJECT_0) {
    return FALSE;
  }
  SetEvent(event);
  return TRUE;
}
