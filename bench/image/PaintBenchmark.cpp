// What one paint of the status picture costs: load the bitmap from the DLL, draw it
// through the memory DC cache, delete it, as the plug-in window does for every WM_PAINT.
// Beside it the same paint with a memory DC made and deleted each time, which is what the
// cache saves. Prints figures; run under Wine with scripts/with-wine.sh.
//
//   status_image_benchmark [paints]      (default 10000)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/Clock.h"
#include "image/Image.h"
#include "res/ResourceIds.h"
#include "tests/support/ProgramDirectory.h"
#include "tests/support/ResourceCounters.h"
#include "win32/UniqueResource.h"

namespace {

using kelmar::Win32::UniqueBitmap;
using kelmar::Win32::UniqueCreatedDC;

void PrintFigures(const char* name, std::vector<LONGLONG> ticks) {
  std::sort(ticks.begin(), ticks.end());
  LONGLONG total = 0;
  for (LONGLONG t : ticks) total += t;
  const auto at = [&](double share) {
    return Microseconds(ticks[static_cast<size_t>(share * static_cast<double>(ticks.size() - 1))]);
  };
  std::printf("%-34s mean %7.2f us  p50 %7.2f us  p99 %7.2f us  max %8.2f us\n", name,
              Microseconds(total) / static_cast<double>(ticks.size()), at(0.5), at(0.99), Microseconds(ticks.back()));
}

void PaintThroughCache(HMODULE resources, int id, HDC target) {
  CImage image;
  image.LoadBitmapResource(resources, id);
  image.DrawAt(target, 3, 4);
}

void PaintWithOwnContext(HMODULE resources, int id, HDC target) {
  UniqueBitmap bitmap(
      static_cast<HBITMAP>(LoadImageA(resources, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  UniqueCreatedDC memory(CreateCompatibleDC(nullptr));
  HGDIOBJ previous = SelectObject(memory.Get(), bitmap.Get());
  StretchBlt(target, 3, 4, 27, 25, memory.Get(), 0, 0, 27, 25, SRCCOPY);
  SelectObject(memory.Get(), previous);
}

template <typename Paint>
std::vector<LONGLONG> Time(int paints, Paint paint) {
  std::vector<LONGLONG> ticks;
  ticks.reserve(static_cast<size_t>(paints));
  for (int i = 0; i < paints; ++i) {
    const int id = (i & 1) ? STATUS_BITMAP_LISTENING : STATUS_BITMAP_IDLE;
    const LONGLONG start = Now();
    paint(id);
    ticks.push_back(Now() - start);
  }
  return ticks;
}

}  // namespace

int main(int argc, char** argv) {
  const int paints = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
  const std::string dll = TestSupport::PathNextToProgram("npTARVX.dll");
  const kelmar::Win32::UniqueModule resources(LoadLibraryExA(dll.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  if (!resources) {
    std::fprintf(stderr, "cannot load %s\n", dll.c_str());
    return 1;
  }
  UniqueCreatedDC target(CreateCompatibleDC(nullptr));
  UniqueBitmap surface(CreateBitmap(100, 40, 1, 32, nullptr));
  HGDIOBJ previous = SelectObject(target.Get(), surface.Get());

  PaintThroughCache(resources.Get(), STATUS_BITMAP_IDLE, target.Get());  // the first paint
  HDC cached = MemoryDCCache::Take();
  MemoryDCCache::Give(cached);
  const int gdiBefore = TestSupport::CountGdiObjects();

  const auto throughCache = Time(paints, [&](int id) { PaintThroughCache(resources.Get(), id, target.Get()); });
  const int gdiAfter = TestSupport::CountGdiObjects();
  HDC cachedAfter = MemoryDCCache::Take();
  MemoryDCCache::Give(cachedAfter);

  const auto ownContext = Time(paints, [&](int id) { PaintWithOwnContext(resources.Get(), id, target.Get()); });

  std::printf("paints per variant: %d (bitmaps 102 and 141 alternately, 27 x 25)\n", paints);
  PrintFigures("load + draw through cache + delete", throughCache);
  PrintFigures("load + draw with own DC + delete", ownContext);
  std::printf("GDI objects before / after the cached paints: %d / %d (%s)\n", gdiBefore, gdiAfter,
              TestSupport::GdiCountingMethod().c_str());
  std::printf("memory DC in slot 0 before / after: %p / %p (%s)\n", static_cast<void*>(cached),
              static_cast<void*>(cachedAfter),
              cached == cachedAfter && gdiBefore == gdiAfter ? "the same context: none made after the first paint"
                                                             : "DIFFERENT");
  SelectObject(target.Get(), previous);
  return cached == cachedAfter && gdiBefore == gdiAfter ? 0 : 1;
}
