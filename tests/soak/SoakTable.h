// The soak's figures, one row per phase, printed as a table.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The process's counts: GDI objects, kernel handles other than lock objects, lock objects
// (see ResourceInventory.h), threads.
struct SoakCounts {
  int gdiObjects = 0;
  int handles = 0;
  int locks = 0;
  int threads = 0;
};
// GDI objects, handles and threads alike; lock objects are not compared.
bool SameCounts(const SoakCounts& a, const SoakCounts& b);
std::string Describe(const SoakCounts& counts);

struct PhaseFigures {
  std::string name;
  double seconds = 0;
  SoakCounts before{};
  SoakCounts after{};
  std::size_t cardsPresented = 0;
  std::size_t cardReaded = 0;
  std::size_t coalesced = 0;
  std::size_t failures = 0;
  // Whether the counts had to come back (not so for the warm-up).
  bool checked = true;
};

void PrintSoakTable(const std::vector<PhaseFigures>& rows);
