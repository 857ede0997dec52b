// Whether the page received what it should have: the expected scripts, exactly and in
// order, and nothing else.
#pragma once

#include <string>
#include <vector>

struct PageVerdict {
  bool ok = false;
  // The first difference, in words; empty when ok.
  std::string problem;
};

PageVerdict CompareScripts(const std::vector<std::string>& expected, const std::vector<std::string>& received);
