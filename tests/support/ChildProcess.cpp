#include "tests/support/ChildProcess.h"

#include <windows.h>

#include <stdexcept>
#include <thread>
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
Pipe MakeInheritablePipe(ChildEnd childEnd = ChildEnd::Writes) {
  SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE read = nullptr;
  HANDLE write = nullptr;
  if (!CreatePipe(&read, &write, &security, 0)) throw std::runtime_error("CreatePipe failed");
  Pipe pipe{UniqueHandle(read), UniqueHandle(write)};
  const HANDLE ours = childEnd == ChildEnd::Writes ? pipe.read.Get() : pipe.write.Get();
  SetHandleInformation(ours, HANDLE_FLAG_INHERIT, 0);
  return pipe;
}

void WriteAll(HANDLE pipe, const std::string& text) {
  DWORD written = 0;
  for (std::size_t at = 0; at < text.size(); at += written) {
    if (!WriteFile(pipe, text.data() + at, static_cast<DWORD>(text.size() - at), &written, nullptr)) return;
  }
}

std::string ReadToEnd(HANDLE pipe) {
  std::string text;
  char buffer[4096];
  DWORD count = 0;
  while (ReadFile(pipe, buffer, sizeof(buffer), &count, nullptr) && count > 0) {
    text.append(buffer, count);
  }
  return text;
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
  Pipe out = MakeInheritablePipe();
  Pipe err = MakeInheritablePipe();
  Pipe in;
  if (input) in = MakeInheritablePipe(ChildEnd::Reads);
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input ? in.read.Get() : GetStdHandle(STD_INPUT_HANDLE);
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
  // Only the child holds the write ends now, so the reads end when it does.
  out.write.Reset();
  err.write.Reset();
  in.read.Reset();

  std::string outText;
  std::string errText;
  std::thread outReader([&] { outText = ReadToEnd(out.read.Get()); });
  std::thread errReader([&] { errText = ReadToEnd(err.read.Get()); });
  // Closing our end after the text is the end of the child's input.
  std::thread inWriter([&] {
    if (input) WriteAll(in.write.Get(), *input);
    in.write.Reset();
  });
  const bool ended = WaitForSingleObject(processHandle.Get(), timeoutMilliseconds) == WAIT_OBJECT_0;
  if (!ended) TerminateProcess(processHandle.Get(), 1);
  outReader.join();
  errReader.join();
  inWriter.join();
  if (!ended) {
    throw std::runtime_error(commandLine + " did not end within " + std::to_string(timeoutMilliseconds) + " ms");
  }
  DWORD exitCode = 0;
  GetExitCodeProcess(processHandle.Get(), &exitCode);
  return ChildResult{exitCode, WithoutCarriageReturns(outText), WithoutCarriageReturns(errText)};
}
