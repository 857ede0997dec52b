// Exit codes of simreader-ctl, for the scripts that drive it.
#pragma once

enum ControlExitCode : int {
  kExitOk = 0,
  kExitFailed = 1,       // the server refused: no such device, a wait timed out, a device could not be made
  kExitUsage = 2,        // the command line is not understood
  kExitNoServer = 3,     // no server answers for the session
  kExitCannotServe = 4,  // serve: the session has a server already, or its pipe cannot be made
};
