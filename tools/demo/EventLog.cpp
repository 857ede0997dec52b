#include "tools/demo/EventLog.h"

#include <windows.h>

#include <cstdio>

namespace {

long long Counter() {
  LARGE_INTEGER value;
  QueryPerformanceCounter(&value);
  return value.QuadPart;
}

}  // namespace

EventLog::EventLog(std::ostream& out) : m_out(out), m_start(Counter()) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  m_frequency = frequency.QuadPart;
}

long long EventLog::ElapsedMilliseconds() const { return (Counter() - m_start) * 1000 / m_frequency; }

void EventLog::Line(const std::string& source, const std::string& text) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "[%6lld ms] %-8s ", ElapsedMilliseconds(), source.c_str());
  m_out << stamp << text << '\n';
  m_out.flush();
}
