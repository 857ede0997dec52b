#include "tests/support/ChildProcess.h"

#include <windows.h>

#include <algorithm>
#include <stdexcept>
#include <utility>
#include <vector>

#include "win32/UniqueResource.h"

using kelmar::Win32::UniqueHandle;

namespace {

struct Pipe {
  UniqueHandle read;
  UniqueHandle write;
};

enum class ChildEnd { Reads, Writes };

// One end is inherited by the child; the other stays here.
Pipe MakeInheritablePipe(ChildEnd childEnd, DWORD bufferSize = 0) {
  SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE read = nullptr;
  HANDLE write = nullptr;
  if (!CreatePipe(&read, &write, &security, bufferSize)) throw std::runtime_error("CreatePipe failed");
  Pipe pipe{UniqueHandle(read), UniqueHandle(write)};
  const HANDLE ours = childEnd == ChildEnd::Writes ? pipe.read.Get() : pipe.write.Get();
  SetHandleInformation(ours, HANDLE_FLAG_INHERIT, 0);
  return pipe;
}

// The child's standard input: `text` already in the pipe, then its end.
UniqueHandle InputHolding(const std::string& text) {
  Pipe pipe = MakeInheritablePipe(ChildEnd::Reads, static_cast<DWORD>(text.size() + 4096));
  DWORD written = 0;
  for (std::size_t at = 0; at < text.size(); at += written) {
    if (!WriteFile(pipe.write.Get(), text.data() + at, static_cast<DWORD>(text.size() - at), &written, nullptr)) {
      throw std::runtime_error("cannot write the child's input");
    }
  }
  return std::move(pipe.read);
}

// Whatever the pipe holds now, without waiting for more.
void ReadAvailable(HANDLE pipe, std::string& text) {
  DWORD available = 0;
  while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
    char buffer[4096];
    DWORD count = 0;
    const DWORD wanted = std::min<DWORD>(available, sizeof buffer);
    if (!ReadFile(pipe, buffer, wanted, &count, nullptr) || count == 0) return;
    text.append(buffer, count);
  }
}

// Text mode turns "\n" into "\r\n"; the tests compare lines as the program wrote them.
std::string WithoutCarriageReturns(std::string text) {
  std::string result;
  for (const char c : text) {
    if (c != '\r') result += c;
  }
  return result;
}

}  // namespace

ChildResult RunChild(const std::string& commandLine, const std::optional<std::string>& input,
                     unsigned long timeoutMilliseconds) {
  Pipe out = MakeInheritablePipe(ChildEnd::Writes);
  Pipe err = MakeInheritablePipe(ChildEnd::Writes);
  UniqueHandle in = input ? InputHolding(*input) : UniqueHandle();
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input ? in.Get() : GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out.write.Get();
  startup.hStdError = err.write.Get();
  PROCESS_INFORMATION process{};
  std::vector<char> mutableCommandLine(commandLine.begin(), commandLine.end());
  mutableCommandLine.push_back('\0');
  if (!CreateProcessA(nullptr, mutableCommandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process)) {
    throw std::runtime_error("cannot start " + commandLine + " (error " + std::to_string(GetLastError()) + ")");
  }
  const UniqueHandle processHandle(process.hProcess);
  const UniqueHandle threadHandle(process.hThread);
  out.write.Reset();
  err.write.Reset();
  in.Reset();

  // The output ends when the child does, not when the pipes report their end: under Wine
  // the desktop process that a child's first window starts inherits the child's standard
  // handles and keeps them open.
  std::string outText;
  std::string errText;
  const DWORD start = GetTickCount();
  bool ended = false;
  bool timedOut = false;
  while (!ended && !timedOut) {
    ended = WaitForSingleObject(processHandle.Get(), 10) == WAIT_OBJECT_0;
    ReadAvailable(out.read.Get(), outText);
    ReadAvailable(err.read.Get(), errText);
    timedOut = GetTickCount() - start > timeoutMilliseconds;
  }
  if (!ended) {
    TerminateProcess(processHandle.Get(), 1);
    throw std::runtime_error(commandLine + " did not end within " + std::to_string(timeoutMilliseconds) + " ms");
  }
  DWORD exitCode = 0;
  GetExitCodeProcess(processHandle.Get(), &exitCode);
  return ChildResult{exitCode, WithoutCarriageReturns(outText), WithoutCarriageReturns(errText)};
}
