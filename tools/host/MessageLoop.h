// Pumping the calling thread's messages, as a browser's main loop and its modal loops
// (alert() and the like) do.
#pragma once

#include <windows.h>

#include <functional>

namespace nphost {

// Dispatches every message queued now.
void PumpMessages();
// Dispatches messages until `done` answers true (checked at least every 10 ms) or the
// time is up; false on time-out. Called inside a page function it is the nested loop an
// alert() runs.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMilliseconds);
// Dispatches messages for the given time.
void PumpFor(DWORD milliseconds);

}  // namespace nphost
