// Telling the status pictures apart in a window's pixels: the picture unscaled at the
// centre of a white window, placed as the plug-in places it.
#include <gtest/gtest.h>

#include "tools/demo/StatusPicture.h"

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;

// A picture whose every pixel is different, so a shift by one pixel shows.
nphost::Pixels Picture(int width, int height) {
  nphost::Pixels picture;
  picture.width = width;
  picture.height = height;
  for (int i = 0; i < width * height; ++i) picture.rows.push_back(0x102030u + static_cast<std::uint32_t>(i));
  return picture;
}

// A white window with `picture` drawn with its top-left corner at (left, top).
nphost::Pixels WindowWith(const nphost::Pixels& picture, int width, int height, int left, int top) {
  nphost::Pixels window;
  window.width = width;
  window.height = height;
  window.rows.assign(static_cast<std::size_t>(width * height), kWhite);
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      const int wx = left + x;
      const int wy = top + y;
      if (wx < 0 || wy < 0 || wx >= width || wy >= height) continue;
      window.rows[static_cast<std::size_t>(wy * width + wx)] =
          picture.rows[static_cast<std::size_t>(y * picture.width + x)];
    }
  }
  return window;
}

TEST(StatusPicture, FoundOnlyWhereThePlugInDrawsIt) {
  struct Case {
    const char* name;
    int windowWidth, windowHeight;
    int left, top;  // where the picture is drawn
    bool found;
  };
  const nphost::Pixels picture = Picture(27, 25);
  const Case cases[] = {
      {"centred in 100x40", 100, 40, 36, 7, true},
      {"one pixel right", 100, 40, 37, 7, false},
      {"one pixel up", 100, 40, 36, 6, false},
      // An odd remainder is dropped: (101 - 27) / 2 = 37, (42 - 25) / 2 = 8.
      {"centred in 101x42", 101, 42, 37, 8, true},
      {"rounded up instead", 101, 42, 37, 9, false},
      // A window smaller than the picture: the corner is left of and above the window,
      // by the quotient truncated toward zero, (20 - 27) / 2 = -3, (20 - 25) / 2 = -2.
      {"clipped in 20x20", 20, 20, -3, -2, true},
      {"clipped, rounded down instead", 20, 20, -4, -3, false},
      {"exactly the picture's size", 27, 25, 0, 0, true},
  };
  for (const Case& c : cases) {
    const nphost::Pixels window = WindowWith(picture, c.windowWidth, c.windowHeight, c.left, c.top);
    EXPECT_EQ(ShowsAtCentre(window, picture), c.found) << c.name;
  }
}

TEST(StatusPicture, AStrayPixelOrAMissingPictureIsNotThePicture) {
  const nphost::Pixels picture = Picture(27, 25);
  nphost::Pixels window = WindowWith(picture, 100, 40, 36, 7);
  window.rows[0] = 0x000000;  // a corner of the white background
  EXPECT_FALSE(ShowsAtCentre(window, picture));
  EXPECT_FALSE(ShowsAtCentre(WindowWith(Picture(0, 0), 100, 40, 0, 0), picture));
  EXPECT_FALSE(ShowsAtCentre(WindowWith(picture, 100, 40, 36, 7), nphost::Pixels{}));
}

}  // namespace
