#include "tools/host/Watchdog.h"

#include <process.h>

#include <cstdio>
#include <utility>

namespace nphost {

Watchdog::Watchdog(DWORD timeoutMilliseconds, std::string what)
    : m_timeout(timeoutMilliseconds), m_what(std::move(what)), m_disarmed(false) {
  m_thread.Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &Watchdog::Watch, this, 0, nullptr)));
}

Watchdog::~Watchdog() {
  m_disarmed.Set();
  if (m_thread) WaitForSingleObject(m_thread.Get(), INFINITE);
}

unsigned __stdcall Watchdog::Watch(void* self) {
  auto* watchdog = static_cast<Watchdog*>(self);
  if (WaitForSingleObject(watchdog->m_disarmed.GetHandle(), watchdog->m_timeout) == WAIT_TIMEOUT) {
    std::fprintf(stderr, "watchdog: %s did not finish within %lu ms; ending the process\n", watchdog->m_what.c_str(),
                 static_cast<unsigned long>(watchdog->m_timeout));
    std::fflush(stderr);
    ExitProcess(3);
  }
  return 0;
}

}  // namespace nphost
