// One run of the native messaging host, from the hello to the end of the input.
#pragma once

#include <windows.h>

#include <ostream>

// Listens to the reader and talks to the browser: a hello, the reader's state and the
// listening status, then device changes, the reader's state and cards as they come
// (docs/BRIDGE.md). Returns, with the reader closed, when the input ends (between frames:
// kHostExitOk; inside a frame or with a bad message: kHostExitFailed), when
// `stopRequested` is set (kHostExitOk), or when the output fails (the browser went away:
// kHostExitOk; otherwise kHostExitFailed). Every failure is one line on `errors`; nothing
// is written there when all is well. The calling thread must be free to run a
// message-only window for the whole call. Never throws.
int RunHostSession(HANDLE input, HANDLE output, HANDLE stopRequested, std::ostream& errors) noexcept;
