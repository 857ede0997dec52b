#include "tests/soak/StatusPictures.h"

#include "res/ResourceIds.h"
#include "win32/UniqueResource.h"

namespace {

// A bitmap resource's pixels, top row first, read through a DIB as the window's are.
nphost::Pixels ResourcePixels(HMODULE module, int id) {
  nphost::Pixels pixels;
  const kelmar::Win32::UniqueBitmap bitmap(
      static_cast<HBITMAP>(LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  if (!bitmap) return pixels;
  BITMAP info{};
  GetObjectA(bitmap.Get(), sizeof info, &info);
  BITMAPINFO request{};
  request.bmiHeader.biSize = sizeof request.bmiHeader;
  request.bmiHeader.biWidth = info.bmWidth;
  request.bmiHeader.biHeight = -info.bmHeight;
  request.bmiHeader.biPlanes = 1;
  request.bmiHeader.biBitCount = 32;
  request.bmiHeader.biCompression = BI_RGB;
  pixels.width = info.bmWidth;
  pixels.height = info.bmHeight;
  pixels.rows.resize(static_cast<std::size_t>(info.bmWidth) * static_cast<std::size_t>(info.bmHeight));
  const HDC screen = GetDC(nullptr);
  GetDIBits(screen, bitmap.Get(), 0, static_cast<UINT>(info.bmHeight), pixels.rows.data(), &request, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  for (std::uint32_t& pixel : pixels.rows) pixel &= 0x00FFFFFF;
  return pixels;
}

}  // namespace

const char* PictureName(Picture picture) {
  switch (picture) {
    case Picture::Listening: return "the listening picture";
    case Picture::Idle: return "the idle picture";
    case Picture::Neither: return "neither picture";
  }
  return "?";
}

StatusPictures::StatusPictures(HMODULE plugin)
    : m_listening(ResourcePixels(plugin, STATUS_BITMAP_LISTENING)), m_idle(ResourcePixels(plugin, STATUS_BITMAP_IDLE)) {}

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
