// Receiver of the listen thread that prints each report with a time stamp.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <ostream>

#include "reader/InputReportProcess.h"
#include "win32/Event.h"

class ReportPrinter final : public IInputReportProcess {
 public:
  // `limit`: how many reports to print before LimitReached is signalled (0: no limit).
  ReportPrinter(std::ostream& out, std::uint32_t limit);

  // On the listen thread. Empty reads (the last read of an unplugged reader ends with
  // none) are shown but not counted; reports beyond the limit are not shown.
  void OnInputReport(const BYTE* report, DWORD byteCount) override;

  HANDLE LimitReached() const { return m_limitReached.GetHandle(); }
  std::uint32_t ReportsPrinted() const { return m_printed.load(); }

 private:
  std::ostream& m_out;
  const std::uint32_t m_limit;
  std::atomic<std::uint32_t> m_printed;
  kelmar::Win32::CManualResetEvent m_limitReached;
};
