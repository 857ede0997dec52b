#include "bench/reader/HostProcess.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace {

ULONGLONG Units(const FILETIME& time) {
  ULARGE_INTEGER value;
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  return value.QuadPart;
}

std::string ReadWholeFile(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  std::string text;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) text.append(buffer, read);
  CloseHandle(file);
  return text;
}

std::string Lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  return Lowered(slash == std::string::npos ? path : path.substr(slash + 1));
}

// Wine opens files through its server, so Z:\proc\self is the server, not this process.
// This process is the one whose program (the first word of its command line) has this
// program's file name; -1 if there is not exactly one such process.
long FindLinuxProcess() {
  char program[MAX_PATH];
  if (GetModuleFileNameA(nullptr, program, MAX_PATH) == 0) return -1;
  const std::string wanted = BaseName(program);
  WIN32_FIND_DATAA entry;
  const HANDLE search = FindFirstFileA("Z:\\proc\\*", &entry);
  if (search == INVALID_HANDLE_VALUE) return -1;
  long found = -1;
  int matches = 0;
  do {
    if (!std::isdigit(static_cast<unsigned char>(entry.cFileName[0]))) continue;
    const std::string commandLine = ReadWholeFile(std::string("Z:\\proc\\") + entry.cFileName + "\\cmdline");
    if (BaseName(commandLine.substr(0, commandLine.find('\0'))) == wanted) {
      found = std::atol(entry.cFileName);
      ++matches;
    }
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return matches == 1 ? found : -1;
}

long FieldValue(const std::string& text, const std::string& key) {
  const std::size_t at = text.find("\n" + key + ":");
  return at == std::string::npos ? 0 : std::atol(text.c_str() + at + key.size() + 2);
}

}  // namespace

ULONGLONG ProcessCpuUnits() {
  FILETIME creation, exit, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user);
  return Units(kernel) + Units(user);
}

ULONGLONG ThreadCpuUnits(HANDLE thread) {
  FILETIME creation, exit, kernel, user;
  GetThreadTimes(thread, &creation, &exit, &kernel, &user);
  return Units(kernel) + Units(user);
}

double CpuSecondsBetween(ULONGLONG before, ULONGLONG after) {
  return after > before ? static_cast<double>(after - before) / 1e7 : 0.0;
}

long LinuxProcessId() {
  static const long process = FindLinuxProcess();
  return process;
}

std::vector<long> LinuxThreads() {
  std::vector<long> tasks;
  if (LinuxProcessId() < 0) return tasks;
  WIN32_FIND_DATAA entry;
  const HANDLE search = FindFirstFileA(("Z:\\proc\\" + std::to_string(LinuxProcessId()) + "\\task\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return tasks;
  do {
    if (std::isdigit(static_cast<unsigned char>(entry.cFileName[0]))) tasks.push_back(std::atol(entry.cFileName));
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return tasks;
}

long ContextSwitchesOfThread(long task) {
  if (LinuxProcessId() < 0) return -1;
  const std::string status =
      ReadWholeFile("Z:\\proc\\" + std::to_string(LinuxProcessId()) + "\\task\\" + std::to_string(task) + "\\status");
  if (status.empty()) return -1;
  return FieldValue(status, "voluntary_ctxt_switches") + FieldValue(status, "nonvoluntary_ctxt_switches");
}

long CountContextSwitches() {
  const std::vector<long> tasks = LinuxThreads();
  if (tasks.empty()) return -1;
  long total = 0;
  for (long task : tasks) {
    // The main thread is the one measuring: its own reads go through the Wine server.
    if (task != LinuxProcessId()) total += std::max(0L, ContextSwitchesOfThread(task));
  }
  return total;
}

std::string LoadAverage() {
  const std::string text = ReadWholeFile("Z:\\proc\\loadavg");
  if (text.empty()) return "n/a";
  std::size_t end = 0;
  for (int field = 0; field < 3 && end != std::string::npos; ++field) end = text.find(' ', end + 1);
  return text.substr(0, end);
}
