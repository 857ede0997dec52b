// tarvx-host: the native messaging host (bridge/README.md). Browsers pass arguments of
// their own (Chromium: the caller's origin and --parent-window=N; Firefox: the manifest's
// path and the add-on id); none of them changes anything, so none is read.
#include <windows.h>

#include <iostream>

#include "bridge/ConsoleStop.h"
#include "bridge/ExitCodes.h"
#include "bridge/HostError.h"
#include "bridge/HostSession.h"

int main() {
  try {
    ConsoleStop console;
    const int code = RunHostSession(GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE),
                                    console.StopRequested(), std::cerr);
    console.ReaderClosed();
    // The process ends here with `console` in place: a console handler may still be using
    // it on its own thread, and ExitProcess ends that thread before anything goes away.
    ExitProcess(static_cast<UINT>(code));
  } catch (...) {
    WriteErrorLine(std::cerr, HostError{HostErrorCode::Failed, "cannot watch the console"});
  }
  return kHostExitFailed;
}
