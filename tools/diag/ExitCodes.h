// Exit codes of tarvx-diag, for a technician's scripts.
#pragma once

enum ExitCode : int {
  kExitOk = 0,
  // No reader present, the reader lost or unreadable while listening, fewer reports than
  // asked for within the time limit, a report that gives no card number, or (--bridge) a
  // browser that does not find the native messaging host or a registration that is broken,
  // or (--plugin) the plug-in registered nowhere or a registration of it that is broken.
  kExitFailed = 1,
  kExitUsage = 2,  // the command line or the hex text is not understood
};
