#include "tools/diag/ReportPrinter.h"

#include <cstdio>

#include "tools/diag/ReportDescription.h"

namespace {

// "[14:03:07.215] ": local time to the millisecond.
void WriteTimeStamp(std::ostream& out) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char text[32];
  std::snprintf(text, sizeof(text), "[%02u:%02u:%02u.%03u] ", static_cast<unsigned>(now.wHour),
                static_cast<unsigned>(now.wMinute), static_cast<unsigned>(now.wSecond),
                static_cast<unsigned>(now.wMilliseconds));
  out << text;
}

}  // namespace

ReportPrinter::ReportPrinter(std::ostream& out, std::uint32_t limit)
    : m_out(out), m_limit(limit), m_printed(0), m_limitReached(false) {}

void ReportPrinter::OnInputReport(const BYTE* report, DWORD byteCount) {
  if (m_limit != 0 && m_printed.load() >= m_limit) {
    return;
  }
  WriteTimeStamp(m_out);
  if (byteCount == 0) {
    m_out << "empty read (the reader was unplugged, or the read failed)" << std::endl;
    return;
  }
  const std::uint32_t number = m_printed.load() + 1;
  m_out << "report " << number << ": ";
  DescribeReport(report, byteCount, m_out);
  m_out.flush();
  m_printed.store(number);
  if (number == m_limit) {
    m_limitReached.Set();
  }
}
