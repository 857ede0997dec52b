#include "tests/support/DebugOutputCapture.h"

#include <cstring>
#include <stdexcept>
#include <string>

namespace TestSupport {

namespace {

// The section's layout: the writer's process id, then the text, NUL-terminated.
constexpr DWORD kSectionSize = 4096;

kelmar::Win32::UniqueHandle Made(HANDLE handle, const char* what) {
  if (handle == nullptr) throw std::runtime_error(std::string("cannot make ") + what);
  return kelmar::Win32::UniqueHandle(handle);
}

}  // namespace

DebugOutputCapture::DebugOutputCapture()
    : m_exclusive(Made(CreateMutexA(nullptr, FALSE, "TarvxTestDebugOutputCapture"), "the capture's mutex")) {
  const DWORD owned = WaitForSingleObject(m_exclusive.Get(), 60000);
  if (owned != WAIT_OBJECT_0 && owned != WAIT_ABANDONED) throw std::runtime_error("another capture holds on");
  m_bufferReady = Made(CreateEventA(nullptr, FALSE, FALSE, "DBWIN_BUFFER_READY"), "DBWIN_BUFFER_READY");
  m_dataReady = Made(CreateEventA(nullptr, FALSE, FALSE, "DBWIN_DATA_READY"), "DBWIN_DATA_READY");
  m_section = Made(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kSectionSize, "DBWIN_BUFFER"),
                   "DBWIN_BUFFER");
  m_view = MapViewOfFile(m_section.Get(), FILE_MAP_READ, 0, 0, kSectionSize);
  if (m_view == nullptr) throw std::runtime_error("cannot map DBWIN_BUFFER");
  m_stop = Made(CreateEventA(nullptr, TRUE, FALSE, nullptr), "the stop event");
  m_lineRead = Made(CreateEventA(nullptr, FALSE, FALSE, nullptr), "the line event");
  m_reader = std::thread([this] { Read(); });
}

DebugOutputCapture::~DebugOutputCapture() {
  SetEvent(m_stop.Get());
  m_reader.join();
  UnmapViewOfFile(m_view);
  ReleaseMutex(m_exclusive.Get());
}

void DebugOutputCapture::Read() {
  const HANDLE waitList[2] = {m_stop.Get(), m_dataReady.Get()};
  for (;;) {
    SetEvent(m_bufferReady.Get());
    if (WaitForMultipleObjects(2, waitList, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return;
    const auto* bytes = static_cast<const char*>(m_view);
    DebugLine line{0, {}};
    std::memcpy(&line.processId, bytes, sizeof(DWORD));
    const char* text = bytes + sizeof(DWORD);
    line.text.assign(text, strnlen(text, kSectionSize - sizeof(DWORD)));
    {
      const std::lock_guard<std::mutex> lock(m_mutex);
      m_lines.push_back(std::move(line));
    }
    SetEvent(m_lineRead.Get());
  }
}

std::vector<std::string> DebugOutputCapture::LinesOf(DWORD processId) const {
  const std::lock_guard<std::mutex> lock(m_mutex);
  std::vector<std::string> lines;
  for (const DebugLine& line : m_lines) {
    if (line.processId == processId) lines.push_back(line.text);
  }
  return lines;
}

bool DebugOutputCapture::Flush(DWORD timeout) const {
  const std::string marker = "debug output capture: flush " + std::to_string(++m_flushes);
  OutputDebugStringA(marker.c_str());
  const ULONGLONG deadline = GetTickCount64() + timeout;
  for (;;) {
    for (const std::string& line : LinesOf(GetCurrentProcessId())) {
      if (line == marker) return true;
    }
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    WaitForSingleObject(m_lineRead.Get(), static_cast<DWORD>(deadline - now));
  }
}

}  // namespace TestSupport
