// Which of the plug-in's two status pictures a window shows, told from its pixels.
#pragma once

#include <windows.h>

#include <string>

#include "tools/host/WindowPixels.h"

enum class StatusPicture {
  Listening,  // bitmap 141: the reader is being listened to
  Idle,       // bitmap 102: it is not
  Neither,    // something else: no picture, a wrong place, the error text
  Ambiguous,  // the window is too small to tell the two apart
};

// Whether the window shows `picture` unscaled at the centre of a white client area
// (clipped when the window is smaller), as the plug-in draws it.
bool ShowsAtCentre(const nphost::Pixels& window, const nphost::Pixels& picture);

// Compares the window with both status bitmaps of `plugin`.
StatusPicture RecognisePicture(const nphost::Pixels& window, HMODULE plugin);

std::string Describe(StatusPicture picture);
