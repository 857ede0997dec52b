#include "tools/demo/StatusPicture.h"

namespace {

constexpr int kListeningBitmap = 141;
constexpr int kIdleBitmap = 102;
constexpr std::uint32_t kWhite = 0xFFFFFF;

}  // namespace

bool ShowsAtCentre(const nphost::Pixels& window, const nphost::Pixels& picture) {
  if (window.width <= 0 || window.height <= 0 || picture.width <= 0) return false;
  // Division truncating toward zero, as the plug-in centres: a picture larger than the
  // window starts left of and above it.
  const int left = (window.width - picture.width) / 2;
  const int top = (window.height - picture.height) / 2;
  for (int y = 0; y < window.height; ++y) {
    for (int x = 0; x < window.width; ++x) {
      const int px = x - left;
      const int py = y - top;
      const bool inside = px >= 0 && py >= 0 && px < picture.width && py < picture.height;
      const std::uint32_t expected =
          inside ? picture.rows[static_cast<std::size_t>(py) * static_cast<std::size_t>(picture.width) +
                                static_cast<std::size_t>(px)]
                 : kWhite;
      const std::uint32_t actual =
          window
              .rows[static_cast<std::size_t>(y) * static_cast<std::size_t>(window.width) + static_cast<std::size_t>(x)];
      if (actual != expected) return false;
    }
  }
  return true;
}

StatusPicture RecognisePicture(const nphost::Pixels& window, HMODULE plugin) {
  const bool listening = ShowsAtCentre(window, nphost::BitmapResourcePixels(plugin, kListeningBitmap));
  const bool idle = ShowsAtCentre(window, nphost::BitmapResourcePixels(plugin, kIdleBitmap));
  if (listening && idle) return StatusPicture::Ambiguous;
  if (listening) return StatusPicture::Listening;
  if (idle) return StatusPicture::Idle;
  return StatusPicture::Neither;
}

std::string Describe(StatusPicture picture) {
  switch (picture) {
    case StatusPicture::Listening:
      return "the listening picture";
    case StatusPicture::Idle:
      return "the not-listening picture";
    case StatusPicture::Neither:
      return "neither status picture";
    case StatusPicture::Ambiguous:
      return "too little of the picture to tell which";
  }
  return "";
}
