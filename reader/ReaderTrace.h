// The reader's opt-in trace: one line per reader event through OutputDebugStringA, for a
// debug-output viewer on a machine in the field. Off unless switched on (docs/TRACE.md):
// the environment variable TARVX_TRACE set to 1, or the DWORD value Trace = 1 under
// HKEY_CURRENT_USER\Software\Tarvo\TarvX or HKEY_LOCAL_MACHINE\SOFTWARE\Tarvo\TarvX.
// Off, nothing is written and no text is built.
#pragma once

#include <string>

constexpr char kTraceVariable[] = "TARVX_TRACE";
constexpr char kTraceKey[] = "Software\\Tarvo\\TarvX";
constexpr char kTraceValue[] = "Trace";
// Every line starts with this, so that a viewer's filter finds them.
constexpr char kTracePrefix[] = "TarvX: ";

// Reads the switch again. Called when a reader manager is made (a plug-in instance set
// up, a host session started), so a change applies from the next one on.
void RefreshReaderTrace() noexcept;

bool ReaderTraceOn() noexcept;

// Writes kTracePrefix + `line` + a line break, whether or not the trace is on.
void WriteTraceLine(const std::string& line) noexcept;

// Writes kTracePrefix + the line made by `describe` + a line break, when the trace is on;
// `describe` is not called otherwise. Never throws.
template <typename Describe>
void TraceReaderEvent(Describe describe) noexcept {
  if (!ReaderTraceOn()) return;
  try {
    WriteTraceLine(describe());
  } catch (...) {
    // The line could not be built: the trace misses it, the reader goes on.
  }
}
