// A shared session for a test program: a simreader-ctl server as a child process, and
// this process joined to the session (SIMREADER_SHARED) before it first uses the
// stand-ins. One server serves the whole program; it is stopped at the end.
#pragma once

#include <windows.h>

#include <string>

#include "tools/simreader/ControlClient.h"

namespace SharedSessionTests {

const std::string& SessionName();
DWORD ServerProcessId();
// A client of this session's server, sending requests directly (not through simreader.dll).
simreader::ControlClient& Server();
// The full path of simreader-ctl.exe, quoted, with `--session <this session>`.
std::string ControlCommandLine(const std::string& arguments);

}  // namespace SharedSessionTests
