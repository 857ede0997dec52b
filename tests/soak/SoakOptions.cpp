#include "tests/soak/SoakOptions.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace {

bool ParseNumber(const char* text, double& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text, &end);
  return errno == 0 && end != text && *end == '\0' && value >= 0;
}

int Scaled(int count, double scale) { return std::max(1, static_cast<int>(count * scale + 0.5)); }

}  // namespace

bool ParseSoakOptions(int argc, char** argv, SoakOptions& options, std::string& error) {
  double scale = 1.0;
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    double value = 0;
    if (i + 1 >= argc || !ParseNumber(argv[i + 1], value)) {
      error = "expected a number after " + name;
      return false;
    }
    ++i;
    if (name == "--replugs") {
      options.replugCycles = static_cast<int>(value);
    } else if (name == "--instances") {
      options.instanceCycles = static_cast<int>(value);
    } else if (name == "--paints") {
      options.paints = static_cast<int>(value);
    } else if (name == "--reports") {
      options.reports = static_cast<int>(value);
    } else if (name == "--seed") {
      options.seed = static_cast<std::uint32_t>(value);
    } else if (name == "--timeout") {
      options.timeoutSeconds = static_cast<unsigned>(value);
    } else if (name == "--scale") {
      scale = value;
    } else {
      error = "unknown option " + name;
      return false;
    }
  }
  options.replugCycles = Scaled(options.replugCycles, scale);
  options.instanceCycles = Scaled(options.instanceCycles, scale);
  options.paints = Scaled(options.paints, scale);
  options.reports = Scaled(options.reports, scale);
  return true;
}
