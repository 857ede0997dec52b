// The pixels a window shows, read back the way a screenshot would.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace nphost {

struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> rows;  // top row first, 0x00RRGGBB

  // The colour at (x, y) as red, green, blue; CLR_INVALID outside.
  COLORREF At(int x, int y) const;
  // A 24-bit bottom-up .bmp file; false when it cannot be written.
  bool SaveBmp(const std::string& path) const;
};

// Paints what is pending (UpdateWindow), then copies the client area.
Pixels CaptureClientArea(HWND window);

// A bitmap resource's own pixels, read through a DIB as a window's are; empty when it
// cannot be loaded or read.
Pixels BitmapResourcePixels(HMODULE module, int resourceId);

}  // namespace nphost
