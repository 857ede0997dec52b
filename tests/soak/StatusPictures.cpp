#include "tests/soak/StatusPictures.h"

#include "res/ResourceIds.h"

const char* PictureName(Picture picture) {
  switch (picture) {
    case Picture::Listening:
      return "the listening picture";
    case Picture::Idle:
      return "the idle picture";
    case Picture::Neither:
      return "neither picture";
  }
  return "?";
}

StatusPictures::StatusPictures(HMODULE plugin)
    : m_listening(nphost::BitmapResourcePixels(plugin, STATUS_BITMAP_LISTENING)),
      m_idle(nphost::BitmapResourcePixels(plugin, STATUS_BITMAP_IDLE)) {}

Picture StatusPictures::Shown(HWND window) const {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  const nphost::Pixels shown = nphost::CaptureClientArea(window);
  if (Matches(shown, m_listening)) return Picture::Listening;
  if (Matches(shown, m_idle)) return Picture::Idle;
  return Picture::Neither;
}

bool StatusPictures::Matches(const nphost::Pixels& window, const nphost::Pixels& picture) {
  if (picture.width == 0 || window.width < picture.width || window.height < picture.height) return false;
  const int left = (window.width - picture.width) / 2;
  const int top = (window.height - picture.height) / 2;
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      if (window.At(left + x, top + y) != picture.At(x, y)) return false;
    }
  }
  return true;
}
