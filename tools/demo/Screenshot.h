// A window's pixels as an enlarged PNG file, so that a person can see a 27-pixel picture.
#pragma once

#include <string>

#include "tools/host/WindowPixels.h"

// How many times a window of this size is enlarged: up to 4, and no more than keeps the
// longer side within 800 pixels.
int EnlargementFor(int width, int height);

// Throws std::runtime_error when the file cannot be written.
void SavePng(const nphost::Pixels& pixels, int enlargement, const std::string& path);
