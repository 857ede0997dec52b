// What one WM_PAINT of the plug-in's window costs, beside windows that do parts of the
// same work, and whether the device contexts are the same after the paints as before.
// (Which calls make device contexts is counted by count_dc_creations.sh.)
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "bench/plugin/Figures.h"

struct PaintVariant {
  std::string name;
  Summary time;  // one paint, us
};

struct PaintFigures {
  // The plug-in's window first; then windows on the same page whose procedures do, for
  // each paint: what the plug-in's does but the picture (begin, end, default procedure);
  // that and load and delete the bitmap (LoadImageA as the plug-in calls it); that and
  // draw it through a memory DC made and deleted in the paint.
  std::vector<PaintVariant> variants;
  int gdiBefore = 0;  // GDI objects before and after the timed paints
  int gdiAfter = 0;
  bool sameDCs = false;  // the same device contexts (by handle) before and after
};

PaintFigures MeasurePaints(HWND page, HWND pluginWindow, HMODULE plugin, int paints);
