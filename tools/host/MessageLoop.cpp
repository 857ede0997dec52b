#include "tools/host/MessageLoop.h"

namespace nphost {

void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMilliseconds) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMilliseconds;
  for (;;) {
    PumpMessages();
    if (done()) return true;
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    // Short waits: `done` may depend on other threads, which post nothing here.
    const DWORD wait = static_cast<DWORD>(deadline - now < 10 ? deadline - now : 10);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
  }
}

void PumpFor(DWORD milliseconds) {
  PumpUntil([] { return false; }, milliseconds);
}

}  // namespace nphost
