// tarvx-host.exe started the way a browser starts it: standard input, output and error
// as pipes, input kept open until the test closes it, output read frame by frame as it
// comes.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "tests/bridge/FrameInbox.h"
#include "win32/UniqueResource.h"

namespace BridgeTests {

class HostProcess {
 public:
  // Starts the host next to the test program with `arguments` after its name. The input
  // pipe holds `inputRoom` bytes, so that input written up front never waits for a host
  // that stopped reading. Throws std::runtime_error when the host cannot be started.
  explicit HostProcess(const std::string& arguments, DWORD inputRoom = 4096);
  // Ends the host if it still runs.
  ~HostProcess();

  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  // Whole, or the test fails with std::runtime_error.
  void WriteInput(const std::string& bytes);
  void CloseInput();

  // The exit code, or nothing when the host has not ended in time.
  std::optional<DWORD> WaitForExit(DWORD timeout = kGenerous);
  FrameInbox& Output() { return m_output; }
  DWORD ProcessId() const { return GetProcessId(m_process.Get()); }
  // What the host wrote to standard error so far, carriage returns removed.
  std::string ErrorText();

 private:
  kelmar::Win32::UniqueHandle m_inputWrite;
  kelmar::Win32::UniqueHandle m_outputRead;
  kelmar::Win32::UniqueHandle m_errorRead;
  kelmar::Win32::UniqueHandle m_process;
  FrameInbox m_output;
  std::string m_errorText;
};

}  // namespace BridgeTests
