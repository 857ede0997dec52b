// Runs a program of the build as its own process and collects what it printed.
#pragma once

#include <optional>
#include <string>

struct ChildResult {
  unsigned long exitCode;
  std::string out;  // standard output
  std::string err;  // standard error
};

// `commandLine` as CreateProcessA takes it (program name first). The child reads `input`
// from its standard input, then the end of it; without `input` it shares this program's
// standard input. The output is what the child wrote until it ended. Throws std::runtime_error when the program cannot
// be started or does not end in time.
ChildResult RunChild(const std::string& commandLine, const std::optional<std::string>& input = std::nullopt,
                     unsigned long timeoutMilliseconds = 30000);
