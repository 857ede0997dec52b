// The soak's phases. Each starts and ends with the page's instances attached and
// listening to a plugged-in reader, so that resource counts before and after compare.
#pragma once

#include "tests/soak/SoakSession.h"

// Unplug/replug cycles with their notices and cards in between, under the reader's
// faults.
void RunReplugCycles(SoakSession& session, int cycles);
// Instances created, attached with the reader present and destroyed, some with cards in
// flight.
void RunInstanceCycles(SoakSession& session, int cycles);
// Paints of the page's instances, cards and replugs among them.
void RunPaints(SoakSession& session, int paints);
// Reports of every kind: valid cards among broken and random ones.
void RunReports(SoakSession& session, int reports);
