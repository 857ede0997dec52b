// The registration checks' output: lines as they go, and each problem with its fix,
// counted for the result and the exit code.
#pragma once

#include <ostream>
#include <string>

#include "tools/diag/ExitCodes.h"

class CheckReport {
 public:
  explicit CheckReport(std::ostream& out) : m_out(out) {}

  void Problem(const std::string& what, const std::string& fix) {
    m_out << "    PROBLEM: " << what << "\n    To fix:  " << fix << "\n";
    ++m_problems;
  }
  int Problems() const { return m_problems; }
  std::ostream& Out() { return m_out; }

  // The closing line after a blank one; kExitOk without problems, kExitFailed with.
  int Finish(const std::string& okText) {
    m_out << "\n";
    if (m_problems == 0) {
      m_out << "Result: ok. " << okText << "\n";
      return kExitOk;
    }
    m_out << "Result: " << m_problems << (m_problems == 1 ? " problem" : " problems")
          << " found; see PROBLEM and To fix above.\n";
    return kExitFailed;
  }

 private:
  std::ostream& m_out;
  int m_problems = 0;
};
