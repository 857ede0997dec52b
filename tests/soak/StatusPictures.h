// Which status picture a plug-in window shows, read back from its pixels and compared
// with the library's own two bitmaps.
#pragma once

#include <windows.h>

#include "tools/host/WindowPixels.h"

enum class Picture { Listening, Idle, Neither };
const char* PictureName(Picture picture);

class StatusPictures {
 public:
  // Reads the two bitmaps out of the loaded plug-in library.
  explicit StatusPictures(HMODULE plugin);

  // Repaints the window and tells which picture sits at its centre.
  Picture Shown(HWND window) const;

 private:
  static bool Matches(const nphost::Pixels& window, const nphost::Pixels& picture);

  nphost::Pixels m_listening;
  nphost::Pixels m_idle;
};
