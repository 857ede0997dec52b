// The summaries the plug-in benchmark prints.
#pragma once

#include <string>
#include <vector>

#include "bench/Clock.h"

struct Summary {
  std::size_t count = 0;
  double mean = 0;
  double p50 = 0;
  double p90 = 0;
  double p99 = 0;
  double max = 0;
};
// Of figures in microseconds.
Summary Summarise(std::vector<double> figures);
// "p50 304  p90 686  p99 1941  max 4882 (us, 2000 cards)"
std::string Describe(const Summary& summary, const char* unit, int decimals = 0);
