// A card's way from the simulated device's write to the page, beside the platform's floor.
#pragma once

#include "bench/plugin/Figures.h"
#include "tools/host/Browser.h"
#include "tools/simreader/SimReader.h"

struct LatencyFigures {
  Summary plugin;  // device write -> the host's NPN_Evaluate of "CardReaded(...)"
  Summary floor;   // device write -> a bare overlapped read's message at a window
  int wrongNumbers = 0;
  int lost = 0;
};

// Cards in turn through the plug-in listening to `reader` and through a bare reader of
// `floorDevice`, each after a pause so that it meets sleeping threads, on the calling
// (the browser's) thread; `cards` of each after a warm-up.
LatencyFigures MeasureLatency(nphost::Browser& browser, const simreader::Device& reader,
                              const simreader::Device& floorDevice, int cards);
