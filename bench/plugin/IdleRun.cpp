#include "bench/plugin/IdleRun.h"

#include <tlhelp32.h>

#include <algorithm>
#include <iterator>
#include <map>

#include "bench/reader/HostProcess.h"
#include "win32/UniqueResource.h"

namespace {

template <typename T>
std::set<T> Added(const std::set<T>& before, const std::set<T>& after) {
  std::set<T> added;
  std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::inserter(added, added.end()));
  return added;
}

std::map<long, long> SwitchesByTask() {
  std::map<long, long> switches;
  for (long task : LinuxThreads()) {
    if (task != LinuxProcessId()) switches[task] = ContextSwitchesOfThread(task);
  }
  return switches;
}

}  // namespace

ThreadSnapshot TakeThreadSnapshot() {
  ThreadSnapshot snapshot;
  const kelmar::Win32::UniqueFileHandle tool(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = tool ? Thread32First(tool.Get(), &entry) : FALSE; more; more = Thread32Next(tool.Get(), &entry)) {
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) snapshot.windowsIds.insert(entry.th32ThreadID);
  }
  const std::vector<long> tasks = LinuxThreads();
  snapshot.linuxTasks.insert(tasks.begin(), tasks.end());
  return snapshot;
}

ListenThread FindListenThread(const ThreadSnapshot& beforeAttach, const ThreadSnapshot& afterAttach) {
  const std::set<DWORD> ids = Added(beforeAttach.windowsIds, afterAttach.windowsIds);
  const std::set<long> tasks = Added(beforeAttach.linuxTasks, afterAttach.linuxTasks);
  ListenThread listen;
  listen.threadsAdded = static_cast<int>(ids.size());
  if (ids.size() == 1) listen.windowsId = *ids.begin();
  if (tasks.size() == 1) listen.linuxTask = *tasks.begin();
  return listen;
}

IdleFigures MeasureIdle(const ListenThread& listen, DWORD seconds) {
  kelmar::Win32::UniqueHandle listenThread(
      listen.windowsId != 0 ? OpenThread(THREAD_QUERY_INFORMATION, FALSE, listen.windowsId) : nullptr);
  const long listenTask = listen.linuxTask;

  IdleFigures figures;
  const ULONGLONG processBefore = ProcessCpuUnits();
  const ULONGLONG threadBefore = listenThread ? ThreadCpuUnits(listenThread.Get()) : 0;
  const std::map<long, long> switchesBefore = SwitchesByTask();
  const ULONGLONG start = GetTickCount64();
  const ULONGLONG deadline = GetTickCount64() + seconds * 1000ULL;
  for (ULONGLONG now = GetTickCount64(); now < deadline; now = GetTickCount64()) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      ++figures.messagesToBrowserThread;
      DispatchMessageA(&message);
    }
  }
  figures.seconds = static_cast<double>(GetTickCount64() - start) / 1000.0;
  const std::map<long, long> switchesAfter = SwitchesByTask();
  figures.processCpu = CpuSecondsBetween(processBefore, ProcessCpuUnits());
  if (listenThread) figures.listenThreadCpu = CpuSecondsBetween(threadBefore, ThreadCpuUnits(listenThread.Get()));
  if (!switchesBefore.empty()) {
    figures.otherThreadSwitches = 0;
    for (const auto& [task, after] : switchesAfter) {
      const auto before = switchesBefore.find(task);
      const long woken = after - (before == switchesBefore.end() ? 0 : before->second);
      if (task == listenTask) {
        figures.listenThreadSwitches = woken;
      } else {
        figures.otherThreadSwitches += woken;
        figures.otherThreadsWoken += woken > 0 ? 1 : 0;
      }
    }
  }
  return figures;
}
