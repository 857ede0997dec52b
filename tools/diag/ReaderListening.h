// tarvx-diag --listen: every report the reader sends, as the plug-in receives it.
#pragma once

#include <windows.h>

#include <ostream>

#include "tools/diag/CommandLine.h"

// Listens to the card reader through the library's listen thread until `interrupt` is
// signalled, the report count or the time limit of `options` is reached, or the thread
// ends by itself (reader unplugged or unreadable). Returns the exit code.
int RunListening(const DiagOptions& options, HANDLE interrupt, std::ostream& out);
