#include "tools/simreader/DeviceNotifier.h"

#include <dbt.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <mutex>

#include "tools/simreader/SimulatorState.h"

namespace {

// How long one window may take over one notification before the next window gets its
// turn. Not SMTO_ABORTIFHUNG: Wine calls a thread hung when it has read no message for
// 5 s and is not waiting on its queue at that moment, which an idle host busy with the
// end of its listening (the unplug that this very notification announces) is; the
// notification was then dropped. A window whose process is gone is forgotten below.
constexpr UINT kReceiverMilliseconds = 5000;

// The structure with the path stored inline: it grows with the name, and its size says so.
std::vector<unsigned char> DeviceInterfaceBroadcast(const std::string& path) {
  constexpr std::size_t kNameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name);
  const std::size_t size = kNameOffset + path.size() + 1;
  std::vector<unsigned char> buffer(std::max(size, sizeof(DEV_BROADCAST_DEVICEINTERFACE_A)));
  DEV_BROADCAST_DEVICEINTERFACE_A header{};
  header.dbcc_size = static_cast<DWORD>(size);
  header.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  header.dbcc_classguid = kHidInterfaceGuid;
  std::memcpy(buffer.data(), &header, kNameOffset);
  std::memcpy(buffer.data() + kNameOffset, path.c_str(), path.size() + 1);
  return buffer;
}

}  // namespace

DeviceNotifier::DeviceNotifier() : m_thread([this] { Run(); }) {}

DeviceNotifier::~DeviceNotifier() {
  {
    const std::lock_guard<SlimLock> lock(m_lock);
    m_ending = true;
    m_changed.NotifyAll();
  }
  m_thread.join();
}

void DeviceNotifier::Register(DWORD processId, std::uint32_t registration, HWND window) {
  const std::lock_guard<SlimLock> lock(m_lock);
  m_registrations.push_back(Registration{processId, registration, window});
}

void DeviceNotifier::Unregister(DWORD processId, std::uint32_t registration) {
  const std::lock_guard<SlimLock> lock(m_lock);
  m_registrations.erase(std::remove_if(m_registrations.begin(), m_registrations.end(),
                                       [&](const Registration& entry) {
                                         return entry.processId == processId && entry.handle == registration;
                                       }),
                        m_registrations.end());
}

void DeviceNotifier::Arrived(const std::string& path) { Queue(DBT_DEVICEARRIVAL, path); }

void DeviceNotifier::Removed(const std::string& path) { Queue(DBT_DEVICEREMOVECOMPLETE, path); }

void DeviceNotifier::Queue(WPARAM event, const std::string& path) {
  const std::lock_guard<SlimLock> lock(m_lock);
  m_queue.push_back(Notification{event, path});
  m_changed.NotifyAll();
}

void DeviceNotifier::Flush() {
  const std::lock_guard<SlimLock> lock(m_lock);
  m_changed.WaitFor(m_lock, INFINITE, [this] { return m_queue.empty() && !m_delivering; });
}

void DeviceNotifier::Run() {
  std::unique_lock<SlimLock> lock(m_lock);
  for (;;) {
    m_changed.WaitFor(m_lock, INFINITE, [this] { return !m_queue.empty() || m_ending; });
    if (m_queue.empty()) return;  // ending, with nothing left to deliver
    const Notification next = std::move(m_queue.front());
    m_queue.pop_front();
    m_delivering = true;
    lock.unlock();
    Deliver(next);
    lock.lock();
    m_delivering = false;
    m_changed.NotifyAll();
  }
}

void DeviceNotifier::Deliver(const Notification& notification) {
  std::vector<Registration> registrations;
  {
    const std::lock_guard<SlimLock> lock(m_lock);
    registrations = m_registrations;
  }
  std::vector<unsigned char> broadcast = DeviceInterfaceBroadcast(notification.path);
  std::vector<HWND> notified;
  for (const Registration& registration : registrations) {
    // One message per window, however many registrations it holds.
    if (std::find(notified.begin(), notified.end(), registration.window) != notified.end()) continue;
    notified.push_back(registration.window);
    if (!StillRegistrable(registration)) {
      Forget(registration.window);
      continue;
    }
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(registration.window, WM_DEVICECHANGE, notification.event,
                             reinterpret_cast<LPARAM>(broadcast.data()), SMTO_NORMAL, kReceiverMilliseconds, &result) &&
        GetLastError() == ERROR_INVALID_WINDOW_HANDLE) {
      Forget(registration.window);
    }
  }
}

bool DeviceNotifier::StillRegistrable(const Registration& registration) {
  DWORD processId = 0;
  return GetWindowThreadProcessId(registration.window, &processId) != 0 && processId == registration.processId;
}

void DeviceNotifier::Forget(HWND window) {
  const std::lock_guard<SlimLock> lock(m_lock);
  m_registrations.erase(std::remove_if(m_registrations.begin(), m_registrations.end(),
                                       [window](const Registration& entry) { return entry.window == window; }),
                        m_registrations.end());
}
