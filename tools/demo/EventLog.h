// The demo's console: one line per event, stamped with the milliseconds since the log
// began, and the part of the system it comes from.
//
//   [   412 ms] page     CardReaded(2587647617);
#pragma once

#include <ostream>
#include <string>

class EventLog {
 public:
  explicit EventLog(std::ostream& out);

  // Written and flushed at once, so a person watching sees each event as it happens.
  void Line(const std::string& source, const std::string& text);
  long long ElapsedMilliseconds() const;

 private:
  std::ostream& m_out;
  long long m_start;
  long long m_frequency;
};
