// Runs a program of the build as its own process and collects what it printed.
#pragma once

#include <string>

struct ChildResult {
  unsigned long exitCode;
  std::string out;  // standard output
  std::string err;  // standard error
};

// `commandLine` as CreateProcessA takes it (program name first). Throws std::runtime_error
// when the program cannot be started or does not end within 30 s.
ChildResult RunChild(const std::string& commandLine);
