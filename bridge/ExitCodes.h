// Exit codes of tarvx-host.
#pragma once

enum HostExitCode : int {
  // The input ended between frames, or the console asked the host to end.
  kHostExitOk = 0,
  // A frame was refused (see HostError), standard input could not be read, or the host
  // could not start; one line on standard error says which.
  kHostExitFailed = 1,
};
