#include "tools/demo/PageCheck.h"

#include <algorithm>

PageVerdict CompareScripts(const std::vector<std::string>& expected, const std::vector<std::string>& received) {
  const std::size_t common = std::min(expected.size(), received.size());
  for (std::size_t i = 0; i < common; ++i) {
    if (expected[i] != received[i]) {
      return PageVerdict{false, "script " + std::to_string(i + 1) + ": the page should have received " + expected[i] +
                                    " but received " + received[i]};
    }
  }
  if (received.size() < expected.size()) {
    return PageVerdict{false, "the page never received " + expected[common] + " (script " + std::to_string(common + 1) +
                                  " of " + std::to_string(expected.size()) + ")"};
  }
  if (received.size() > expected.size()) {
    return PageVerdict{false, "the page received " + received[common] + " after everything it should have (script " +
                                  std::to_string(common + 1) + ")"};
  }
  return PageVerdict{true, ""};
}
