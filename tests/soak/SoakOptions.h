// How much the soak does: the full run's figures, or fewer for the test command.
#pragma once

#include <cstdint>
#include <string>

struct SoakOptions {
  int replugCycles = 1000;
  int instanceCycles = 200;
  int paints = 10000;
  int reports = 100000;
  std::uint32_t seed = 20240601;
  // The watchdog's allowance for the whole run; each phase gets its own as well.
  unsigned timeoutSeconds = 1800;
};

// Reads `--replugs N --instances N --paints N --reports N --seed N --timeout SECONDS`
// and `--scale F` (every count multiplied by F, at least 1). False, with the reason in
// `error`, on anything else.
bool ParseSoakOptions(int argc, char** argv, SoakOptions& options, std::string& error);
