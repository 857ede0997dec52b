#include "tests/bridge/HostProcess.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "tests/support/ProgramDirectory.h"

using kelmar::Win32::UniqueHandle;

namespace BridgeTests {
namespace {

struct Pipe {
  UniqueHandle read;
  UniqueHandle write;
};

// The end the child gets is inheritable; the test's end is not, or the child would hold
// its own input open.
Pipe MakePipe(bool childReads, DWORD room) {
  SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE read = nullptr;
  HANDLE write = nullptr;
  if (!CreatePipe(&read, &write, &security, room)) throw std::runtime_error("CreatePipe failed");
  Pipe pipe{UniqueHandle(read), UniqueHandle(write)};
  SetHandleInformation(childReads ? pipe.write.Get() : pipe.read.Get(), HANDLE_FLAG_INHERIT, 0);
  return pipe;
}

}  // namespace

HostProcess::HostProcess(const std::string& arguments, DWORD inputRoom) : m_output(nullptr) {
  Pipe input = MakePipe(true, inputRoom);
  // Room for every frame a test makes the host write, so that it never waits for the test.
  Pipe output = MakePipe(false, 1 << 20);
  Pipe error = MakePipe(false, 1 << 16);
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.read.Get();
  startup.hStdOutput = output.write.Get();
  startup.hStdError = error.write.Get();
  std::string commandLine = "\"" + TestSupport::PathNextToProgram("tarvx-host.exe") + "\"";
  if (!arguments.empty()) commandLine += " " + arguments;
  std::vector<char> mutableCommandLine(commandLine.begin(), commandLine.end());
  mutableCommandLine.push_back('\0');
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, mutableCommandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process)) {
    throw std::runtime_error("cannot start " + commandLine + " (error " + std::to_string(GetLastError()) + ")");
  }
  m_process.Reset(process.hProcess);
  CloseHandle(process.hThread);
  m_inputWrite = std::move(input.write);
  m_outputRead = std::move(output.read);
  m_errorRead = std::move(error.read);
  m_output = FrameInbox(m_outputRead.Get());
}

HostProcess::~HostProcess() {
  if (WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT) TerminateProcess(m_process.Get(), 99);
}

void HostProcess::WriteInput(const std::string& bytes) {
  DWORD written = 0;
  for (std::size_t at = 0; at < bytes.size(); at += written) {
    if (!WriteFile(m_inputWrite.Get(), bytes.data() + at, static_cast<DWORD>(bytes.size() - at), &written, nullptr)) {
      throw std::runtime_error("cannot write the host's input (error " + std::to_string(GetLastError()) + ")");
    }
  }
}

void HostProcess::CloseInput() { m_inputWrite.Reset(); }

std::optional<DWORD> HostProcess::WaitForExit(DWORD timeout) {
  const DWORD start = GetTickCount();
  // Output is read while waiting, so that the host never waits for room in a pipe.
  while (WaitForSingleObject(m_process.Get(), 5) == WAIT_TIMEOUT) {
    m_output.Poll();
    if (GetTickCount() - start >= timeout) return std::nullopt;
  }
  m_output.Poll();
  DWORD exitCode = 0;
  GetExitCodeProcess(m_process.Get(), &exitCode);
  return exitCode;
}

std::string HostProcess::ErrorText() {
  DWORD available = 0;
  while (PeekNamedPipe(m_errorRead.Get(), nullptr, 0, nullptr, &available, nullptr) && available > 0) {
    char buffer[4096];
    DWORD count = 0;
    if (!ReadFile(m_errorRead.Get(), buffer, std::min<DWORD>(available, sizeof buffer), &count, nullptr) ||
        count == 0) {
      break;
    }
    for (DWORD i = 0; i < count; ++i) {
      if (buffer[i] != '\r') m_errorText += buffer[i];
    }
  }
  return m_errorText;
}

}  // namespace BridgeTests
