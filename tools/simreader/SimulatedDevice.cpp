#include "tools/simreader/SimulatedDevice.h"

#include <algorithm>
#include <mutex>
#include <cstdio>
#include <cwctype>

namespace {

// Opens in quick succession (the enumeration's, then the listener's, perhaps of several
// plug-in instances) must each find an instance listening: an open that comes between a
// connect and the next instance's creation fails with ERROR_PIPE_BUSY.
constexpr int kSpareInstances = 3;
// WaitForMultipleObjects takes 64 handles; one is the wake event.
constexpr std::size_t kMaxInstances = MAXIMUM_WAIT_OBJECTS - 1;

std::string MakePath(unsigned id, std::uint16_t vendorId, std::uint16_t productId) {
  char path[SIMREADER_MAX_PATH];
  std::snprintf(path, sizeof(path), "\\\\.\\pipe\\simreader#vid_%04x&pid_%04x#%lu_%u", vendorId, productId,
                GetCurrentProcessId(), id);
  return path;
}

// The name the file system gives a handle to the pipe: the path without "\\.\pipe".
std::wstring PipeNameOf(const std::string& path) {
  const std::string prefix = "\\\\.\\pipe";
  return std::wstring(path.begin() + static_cast<std::ptrdiff_t>(prefix.size()), path.end());
}

bool EqualsIgnoringCase(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
           return std::towlower(static_cast<wint_t>(x)) == std::towlower(static_cast<wint_t>(y));
         });
}

}  // namespace

SimulatedDevice::SimulatedDevice(unsigned id, std::uint16_t vendorId, std::uint16_t productId,
                                 std::uint16_t inputReportLength)
    : m_id(id),
      m_vendorId(vendorId),
      m_productId(productId),
      m_inputReportLength(inputReportLength),
      m_path(MakePath(id, vendorId, productId)),
      m_pipeName(PipeNameOf(m_path)),
      m_wake(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      m_writeEvent(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

SimulatedDevice::~SimulatedDevice() { Unplug(); }

bool SimulatedDevice::Plug() {
  if (!m_wake || !m_writeEvent) {
    return false;
  }
  {
    const std::lock_guard<SlimLock> lock(m_lock);
    TopUpSpares();
    if (m_instances.empty()) {
      return false;
    }
  }
  try {
    m_thread.Start();
  } catch (...) {
    return false;
  }
  m_threadStarted = true;
  return true;
}

void SimulatedDevice::Unplug() {
  {
    const std::lock_guard<SlimLock> lock(m_lock);
    m_unplugged = true;
    for (auto& instance : m_instances) {
      instance->Disconnect();
    }
    if (m_wake) SetEvent(m_wake.Get());
  }
  if (m_threadStarted) {
    m_thread.Wait();
    m_threadStarted = false;
  }
  // Without a thread (Plug failed or never ran) nobody else would free the instances.
  const std::lock_guard<SlimLock> lock(m_lock);
  m_instances.clear();
  m_clientsChanged.NotifyAll();
}

SimReaderDeviceInfo SimulatedDevice::Info() const {
  SimReaderDeviceInfo info{};
  info.id = m_id;
  info.vendorId = m_vendorId;
  info.productId = m_productId;
  info.inputReportLength = m_inputReportLength;
  info.faults = m_faults.load();
  std::snprintf(info.path, sizeof(info.path), "%s", m_path.c_str());
  return info;
}

bool SimulatedDevice::HasPipeName(const std::wstring& fileName) const {
  return EqualsIgnoringCase(fileName, m_pipeName);
}

bool SimulatedDevice::Send(const void* bytes, DWORD length) {
  const std::lock_guard<SlimLock> lock(m_lock);
  if (m_unplugged) {
    return false;
  }
  bool first = true;
  for (auto& instance : m_instances) {
    // A connected instance is written to at once (if its client has just gone, the write
    // fails harmlessly); a created or listening one only if a client came since the thread
    // looked.
    const PipeInstance::State state = instance->GetState();
    const bool waiting = state == PipeInstance::State::Created || state == PipeInstance::State::Listening;
    if (state == PipeInstance::State::Connected || (waiting && instance->HasClient())) {
      if (first) {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        m_lastWriteTime.store(now.QuadPart);
        first = false;
      }
      instance->Write(bytes, length, m_writeEvent.Get());
    }
  }
  return true;
}

void SimulatedDevice::FailNextListeningOpen() {
  const std::lock_guard<SlimLock> lock(m_lock);
  m_failNextListeningOpen = true;
}

void SimulatedDevice::OnHandleUsed() {
  const std::lock_guard<SlimLock> lock(m_lock);
  if (Serving()) {
    TopUpSpares();
    SetEvent(m_wake.Get());
  }
}

void SimulatedDevice::OnAttributesQueried() {
  const std::lock_guard<SlimLock> lock(m_lock);
  if (!m_failNextListeningOpen) {
    return;
  }
  m_failNextListeningOpen = false;
  m_withheld = true;
  // Closing the idle instances here, not in the thread, so that the open that follows
  // cannot find one still listening. The enumeration's own instance keeps its client.
  for (auto& instance : m_instances) {
    if (instance->IsFree()) {
      instance->Close();
    }
  }
  SetEvent(m_wake.Get());
}

void SimulatedDevice::OnEnumerationStarted() {
  const std::lock_guard<SlimLock> lock(m_lock);
  if (!m_withheld || m_unplugged) {
    return;
  }
  m_withheld = false;
  TopUpSpares();  // at once: the enumeration is about to open the device
  SetEvent(m_wake.Get());
}

int SimulatedDevice::OpenHandleCount() {
  const std::lock_guard<SlimLock> lock(m_lock);
  return CountClients();
}

bool SimulatedDevice::WaitForOpenHandles(int count, DWORD timeoutMilliseconds) {
  const std::lock_guard<SlimLock> lock(m_lock);
  return m_clientsChanged.WaitFor(m_lock, timeoutMilliseconds, [&] { return CountClients() == count; });
}

DWORD SimulatedDevice::ServerThread::Run() {
  m_device.Serve();
  return 0;
}

void SimulatedDevice::Serve() {
  std::unique_lock<SlimLock> lock(m_lock);
  for (;;) {
    Maintain();
    if (m_unplugged && m_instances.empty()) {
      return;
    }
    std::vector<HANDLE> waitList{m_wake.Get()};
    for (const auto& instance : m_instances) {
      if (instance->IoPending()) waitList.push_back(instance->Event());
    }
    lock.unlock();
    WaitForMultipleObjects(static_cast<DWORD>(waitList.size()), waitList.data(), FALSE, INFINITE);
    lock.lock();
  }
}

void SimulatedDevice::Maintain() {
  // Instances created by other threads (TopUpSpares) start their wait here, on this thread.
  for (auto& instance : m_instances) {
    if (instance->GetState() == PipeInstance::State::Created) instance->StartListening();
  }
  for (auto& instance : m_instances) {
    if (instance->IoPending() && WaitForSingleObject(instance->Event(), 0) == WAIT_OBJECT_0) {
      instance->Step();
    }
  }
  for (auto& instance : m_instances) {
    if (instance->GetState() != PipeInstance::State::Vacant) continue;
    if (!Serving() || CountListening() >= kSpareInstances || !instance->Relisten()) {
      instance->Close();
    }
  }
  m_instances.erase(std::remove_if(m_instances.begin(), m_instances.end(),
                                   [](const std::unique_ptr<PipeInstance>& instance) {
                                     return instance->GetState() == PipeInstance::State::Closed &&
                                            !instance->IoPending();
                                   }),
                    m_instances.end());
  if (Serving()) {
    TopUpSpares();
    for (auto& instance : m_instances) {
      if (instance->GetState() == PipeInstance::State::Created) instance->StartListening();
    }
  }
  m_clientsChanged.NotifyAll();
}

void SimulatedDevice::TopUpSpares() {
  while (CountListening() < kSpareInstances && m_instances.size() < kMaxInstances) {
    std::unique_ptr<PipeInstance> instance = PipeInstance::Create(m_path);
    if (!instance) return;
    m_instances.push_back(std::move(instance));
  }
}

int SimulatedDevice::CountListening() const {
  return static_cast<int>(
      std::count_if(m_instances.begin(), m_instances.end(), [](const auto& instance) { return instance->IsFree(); }));
}

int SimulatedDevice::CountClients() const {
  return static_cast<int>(std::count_if(m_instances.begin(), m_instances.end(),
                                        [](const auto& instance) { return instance->HasClient(); }));
}
