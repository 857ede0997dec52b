// The reader trace's switches set by a test for the length of a case, and the trace
// lines of a process as a debug-output viewer shows them.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "reader/ReaderTrace.h"
#include "tests/support/DebugOutputCapture.h"

namespace TestSupport {

// Sets the switch for the length of a case and leaves no trace of it behind.
class TraceSwitch {
 public:
  TraceSwitch(std::optional<std::string> variable, HKEY root, std::optional<DWORD> value)
      : m_root(root), m_hasValue(value.has_value()) {
    if (variable) SetEnvironmentVariableA(kTraceVariable, variable->c_str());
    if (m_hasValue) {
      HKEY key = nullptr;
      EXPECT_EQ(RegCreateKeyExA(m_root, kTraceKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
                ERROR_SUCCESS);
      const DWORD data = *value;
      EXPECT_EQ(RegSetValueExA(key, kTraceValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data)),
                ERROR_SUCCESS);
      RegCloseKey(key);
    }
  }
  ~TraceSwitch() {
    SetEnvironmentVariableA(kTraceVariable, nullptr);
    if (m_hasValue) RegDeleteKeyA(m_root, kTraceKey);
  }
  TraceSwitch(const TraceSwitch&) = delete;
  TraceSwitch& operator=(const TraceSwitch&) = delete;

 private:
  HKEY m_root;
  bool m_hasValue;
};

// The trace lines `processId` wrote, without the prefix and the line break.
inline std::vector<std::string> TraceLines(const DebugOutputCapture& capture, DWORD processId = GetCurrentProcessId()) {
  std::vector<std::string> lines;
  for (const std::string& line : capture.LinesOf(processId)) {
    // Each line is written whole, with its line break.
    if (line.rfind(kTracePrefix, 0) == 0 && line.back() == '\n') {
      lines.push_back(line.substr(sizeof(kTracePrefix) - 1, line.size() - sizeof(kTracePrefix)));
    }
  }
  return lines;
}

}  // namespace TestSupport
