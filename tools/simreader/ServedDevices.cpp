#include "tools/simreader/ServedDevices.h"

#include <dbt.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tools/simreader/ControlClient.h"
#include "tools/simreader/ImportRedirection.h"
#include "tools/simreader/LocalDevices.h"
#include "tools/simreader/SimulatorState.h"
#include "tools/simreader/SlimLock.h"

namespace {

using RegisterFunction = HDEVNOTIFY(WINAPI*)(HANDLE, LPVOID, DWORD);
using UnregisterFunction = BOOL(WINAPI*)(HDEVNOTIFY);

// The session named by SIMREADER_SHARED; empty for the in-process mode.
std::string SessionFromEnvironment() {
  char session[256];
  const DWORD length = GetEnvironmentVariableA("SIMREADER_SHARED", session, sizeof(session));
  return length == 0 || length >= sizeof(session) ? std::string() : std::string(session, length);
}

// What the shared mode keeps for the life of the process: the connection to the server,
// user32's own registration functions and the registrations reported to the server.
class SharedMode {
 public:
  explicit SharedMode(const std::string& session) : m_client(session) {}

  simreader::ControlClient& Client() { return m_client; }

  void CoverRegistrations();
  HDEVNOTIFY Register(HANDLE recipient, LPVOID filter, DWORD flags);
  BOOL Unregister(HDEVNOTIFY registration);

 private:
  bool ResolveUser32();

  simreader::ControlClient m_client;
  SlimLock m_lock;
  RegisterFunction m_register = nullptr;  // set once, under the lock
  UnregisterFunction m_unregister = nullptr;
  std::vector<HDEVNOTIFY> m_reported;  // guarded by m_lock
};

struct Mode {
  std::unique_ptr<DeviceHost> local;
  std::unique_ptr<SharedMode> shared;
};

// Never destroyed, so nothing runs at unload under the loader lock.
Mode& TheMode() {
  static Mode* const mode = [] {
    auto* made = new Mode();
    const std::string session = SessionFromEnvironment();
    if (session.empty()) {
      made->local = std::make_unique<LocalDevices>();
    } else {
      made->shared = std::make_unique<SharedMode>(session);
    }
    return made;
  }();
  return *mode;
}

HDEVNOTIFY WINAPI RegisterDeviceNotificationARedirected(HANDLE recipient, LPVOID filter, DWORD flags) {
  return TheMode().shared->Register(recipient, filter, flags);
}

BOOL WINAPI UnregisterDeviceNotificationRedirected(HDEVNOTIFY registration) {
  return TheMode().shared->Unregister(registration);
}

// A window registered for the HID interface class (or for every interface class).
bool IsHidInterfaceWindowRegistration(LPVOID filter, DWORD flags) {
  if ((flags & DEVICE_NOTIFY_SERVICE_HANDLE) != 0 || filter == nullptr) return false;
  const auto* header = static_cast<const DEV_BROADCAST_HDR*>(filter);
  if (header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE) return false;
  if ((flags & DEVICE_NOTIFY_ALL_INTERFACE_CLASSES) != 0) return true;
  const auto* deviceInterface = static_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(filter);
  return header->dbch_size >= offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name) &&
         IsEqualGUID(deviceInterface->dbcc_classguid, kHidInterfaceGuid);
}

HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&ThisModule), &module);
  return module;
}

bool SharedMode::ResolveUser32() {
  if (m_register != nullptr) return true;
  // Without user32 loaded, no module can have imported from it yet.
  const HMODULE user32 = GetModuleHandleA("user32.dll");
  if (user32 == nullptr) return false;
  const FARPROC registerAddress = GetProcAddress(user32, "RegisterDeviceNotificationA");
  const FARPROC unregisterAddress = GetProcAddress(user32, "UnregisterDeviceNotification");
  if (registerAddress == nullptr || unregisterAddress == nullptr) return false;
  m_register = reinterpret_cast<RegisterFunction>(reinterpret_cast<void*>(registerAddress));
  m_unregister = reinterpret_cast<UnregisterFunction>(reinterpret_cast<void*>(unregisterAddress));
  return true;
}

void SharedMode::CoverRegistrations() {
  const std::lock_guard<SlimLock> lock(m_lock);
  if (!ResolveUser32()) return;
  const ImportRedirection redirections[] = {
      {reinterpret_cast<FARPROC>(reinterpret_cast<void*>(m_register)),
       reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&RegisterDeviceNotificationARedirected))},
      {reinterpret_cast<FARPROC>(reinterpret_cast<void*>(m_unregister)),
       reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&UnregisterDeviceNotificationRedirected))},
  };
  static const HMODULE exempt = ThisModule();
  RedirectImports(redirections, std::size(redirections), exempt);
}

HDEVNOTIFY SharedMode::Register(HANDLE recipient, LPVOID filter, DWORD flags) {
  // Only a module redirected here calls this, so user32's functions are known.
  const HDEVNOTIFY registration = m_register(recipient, filter, flags);
  if (registration == nullptr || !IsHidInterfaceWindowRegistration(filter, flags)) return registration;
  // Without a server the window just hears of nothing, as a registration without devices.
  if (m_client.RegisterWindow(GetCurrentProcessId(), registration, static_cast<HWND>(recipient)) == ERROR_SUCCESS) {
    try {
      const std::lock_guard<SlimLock> lock(m_lock);
      m_reported.push_back(registration);
    } catch (...) {
      m_client.UnregisterWindow(GetCurrentProcessId(), registration);
    }
  }
  return registration;
}

BOOL SharedMode::Unregister(HDEVNOTIFY registration) {
  bool reported = false;
  {
    const std::lock_guard<SlimLock> lock(m_lock);
    const auto found = std::find(m_reported.begin(), m_reported.end(), registration);
    if (found != m_reported.end()) {
      m_reported.erase(found);
      reported = true;
    }
  }
  // The server forgets it first: once user32 has released the handle value, another
  // registration may get it.
  if (reported) m_client.UnregisterWindow(GetCurrentProcessId(), registration);
  return m_unregister(registration);
}

}  // namespace

DeviceHost& ServedDevices() {
  Mode& mode = TheMode();
  if (mode.local) return *mode.local;
  return mode.shared->Client();
}

void CoverNotificationRegistrations() {
  Mode& mode = TheMode();
  if (mode.shared) mode.shared->CoverRegistrations();
}
