// What listening costs while no card comes: CPU time, and wake-ups of the process's
// threads, the listen thread's above all.
#pragma once

#include <windows.h>

#include <set>
#include <string>
#include <vector>

// The threads of this process now, by Windows id and by Linux task (under Wine).
struct ThreadSnapshot {
  std::set<DWORD> windowsIds;
  std::set<long> linuxTasks;
};
ThreadSnapshot TakeThreadSnapshot();

// The listen thread: the one thread that appeared between two snapshots taken around an
// instance's attaching. Ids are 0 and -1 when it cannot be told.
struct ListenThread {
  DWORD windowsId = 0;
  long linuxTask = -1;
  int threadsAdded = 0;
};
ListenThread FindListenThread(const ThreadSnapshot& beforeAttach, const ThreadSnapshot& afterAttach);

struct IdleFigures {
  double seconds = 0;
  double processCpu = 0;           // s; Wine's clock moves in 10 ms steps
  double listenThreadCpu = -1;     // s; -1 when the listen thread was not found
  long listenThreadSwitches = -1;  // context switches of the listen thread's Linux task
  long otherThreadSwitches = -1;   // of every other task but the main (measuring) one
  int otherThreadsWoken = 0;
  int messagesToBrowserThread = 0;  // anything the browser's thread was woken for
};

// Idles the calling (browser's) thread in its message wait for `seconds`.
IdleFigures MeasureIdle(const ListenThread& listen, DWORD seconds);
