// Exit codes of tarvx-host.
#pragma once

enum HostExitCode : int {
  // The input ended between frames, the console asked the host to end, or the browser
  // closed the host's output.
  kHostExitOk = 0,
  // A frame was refused (see HostError), standard input or output failed otherwise, or
  // the host could not start; one line on standard error says which.
  kHostExitFailed = 1,
};
