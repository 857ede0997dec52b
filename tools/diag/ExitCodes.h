// Exit codes of tarvx-diag, for a technician's scripts.
#pragma once

enum ExitCode : int {
  kExitOk = 0,
  // No reader present, the reader lost or unreadable while listening, fewer reports than
  // asked for within the time limit, or a report that gives no card number.
  kExitFailed = 1,
  kExitUsage = 2,  // the command line or the hex text is not understood
};
