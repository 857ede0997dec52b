#include "tools/simreader/SimulatorState.h"

#include <algorithm>
#include <mutex>

namespace {

template <typename T>
T* Lookup(const std::map<const void*, std::unique_ptr<T>>& owned, const void* handle) {
  const auto found = owned.find(handle);
  return found == owned.end() ? nullptr : found->second.get();
}

}  // namespace

SimulatorState& SimulatorState::Get() {
  static SimulatorState* const state = new SimulatorState();
  return *state;
}

unsigned SimulatorState::AddDevice(std::uint16_t vendorId, std::uint16_t productId, std::uint16_t inputReportLength) {
  unsigned id = 0;
  {
    const std::lock_guard<SlimLock> lock(m_lock);
    id = m_nextId++;
  }
  auto device = std::make_shared<SimulatedDevice>(id, vendorId, productId, inputReportLength);
  if (!device->Plug()) {
    const DWORD error = GetLastError();
    device->Unplug();
    SetLastError(error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE);
    return 0;
  }
  const std::lock_guard<SlimLock> lock(m_lock);
  m_devices.push_back(std::move(device));
  return id;
}

bool SimulatorState::RemoveDevice(unsigned id) {
  std::shared_ptr<SimulatedDevice> device;
  {
    const std::lock_guard<SlimLock> lock(m_lock);
    const auto found = std::find_if(m_devices.begin(), m_devices.end(),
                                    [id](const std::shared_ptr<SimulatedDevice>& entry) { return entry->Id() == id; });
    if (found == m_devices.end()) {
      return false;
    }
    device = *found;
    m_devices.erase(found);
  }
  // Outside the state's lock: unplugging waits for the device's thread.
  device->Unplug();
  return true;
}

std::shared_ptr<SimulatedDevice> SimulatorState::Find(unsigned id) const {
  const std::lock_guard<SlimLock> lock(m_lock);
  for (const auto& device : m_devices) {
    if (device->Id() == id) return device;
  }
  return nullptr;
}

std::shared_ptr<SimulatedDevice> SimulatorState::FindByPipeName(const std::wstring& name) const {
  if (name.empty()) {
    return nullptr;
  }
  const std::lock_guard<SlimLock> lock(m_lock);
  for (const auto& device : m_devices) {
    if (device->HasPipeName(name)) return device;
  }
  return nullptr;
}

std::vector<std::shared_ptr<SimulatedDevice>> SimulatorState::Devices() const {
  const std::lock_guard<SlimLock> lock(m_lock);
  return m_devices;
}

DeviceInfoList* SimulatorState::OpenDeviceInfoList(std::unique_ptr<DeviceInfoList> list) {
  const std::lock_guard<SlimLock> lock(m_lock);
  DeviceInfoList* raw = list.get();
  m_lists.emplace(raw, std::move(list));
  return raw;
}

DeviceInfoList* SimulatorState::FindDeviceInfoList(const void* handle) const {
  const std::lock_guard<SlimLock> lock(m_lock);
  return Lookup(m_lists, handle);
}

bool SimulatorState::CloseDeviceInfoList(const void* handle) {
  const std::lock_guard<SlimLock> lock(m_lock);
  return m_lists.erase(handle) == 1;
}

PreparsedData* SimulatorState::OpenPreparsedData(std::unique_ptr<PreparsedData> data) {
  const std::lock_guard<SlimLock> lock(m_lock);
  PreparsedData* raw = data.get();
  m_preparsed.emplace(raw, std::move(data));
  return raw;
}

PreparsedData* SimulatorState::FindPreparsedData(const void* handle) const {
  const std::lock_guard<SlimLock> lock(m_lock);
  return Lookup(m_preparsed, handle);
}

bool SimulatorState::ClosePreparsedData(const void* handle) {
  const std::lock_guard<SlimLock> lock(m_lock);
  return m_preparsed.erase(handle) == 1;
}

SimReaderStats SimulatorState::Stats() const {
  const std::lock_guard<SlimLock> lock(m_lock);
  SimReaderStats stats{};
  stats.devices = static_cast<unsigned>(m_devices.size());
  stats.deviceInfoLists = static_cast<unsigned>(m_lists.size());
  stats.preparsedData = static_cast<unsigned>(m_preparsed.size());
  return stats;
}
