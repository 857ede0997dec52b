// Device-interface notifications as Windows sends them: WM_DEVICECHANGE with
// DBT_DEVICEARRIVAL or DBT_DEVICEREMOVECOMPLETE and a DEV_BROADCAST_DEVICEINTERFACE_A
// naming the HID interface, to every window registered for them, in any process of the
// session. Wine sends none for simulated devices, so the server does. A thread of its own
// delivers them in order, with a time limit per window, so that neither a receiver that
// calls back into the server nor one that hangs can hold the server up.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "tools/simreader/SlimLock.h"

class DeviceNotifier {
 public:
  DeviceNotifier();
  // Delivers what is queued, then ends the thread.
  ~DeviceNotifier();

  DeviceNotifier(const DeviceNotifier&) = delete;
  DeviceNotifier& operator=(const DeviceNotifier&) = delete;

  // A registration (its notification handle) of a window of process `processId`.
  void Register(DWORD processId, std::uint32_t registration, HWND window);
  void Unregister(DWORD processId, std::uint32_t registration);
  // Queue a notification for every window registered when it is delivered.
  void Arrived(const std::string& path);
  void Removed(const std::string& path);
  // Returns once everything queued so far has been delivered (or given up on).
  void Flush();

 private:
  struct Registration {
    DWORD processId;
    std::uint32_t handle;
    HWND window;
  };
  struct Notification {
    WPARAM event;
    std::string path;
  };

  void Queue(WPARAM event, const std::string& path);
  void Run();
  void Deliver(const Notification& notification);
  // Whether `window` still exists and is the one that registered: a window handle of an
  // ended process can be reused by another.
  static bool StillRegistrable(const Registration& registration);
  void Forget(HWND window);

  SlimLock m_lock;
  SlimCondition m_changed;
  std::vector<Registration> m_registrations;
  std::deque<Notification> m_queue;
  bool m_delivering = false;
  bool m_ending = false;
  std::thread m_thread;  // last: starts once everything above exists
};
