// A small DLL that draws through the image library, like the plug-in does, so that a test
// can unload it and see what becomes of the memory device contexts it cached.
#include <windows.h>

#include "image/Image.h"

extern "C" __declspec(dllexport) BOOL DrawBitmapResource(HMODULE resources, int id, HDC target) {
  CImage image;
  image.LoadBitmapResource(resources, id);
  return image.DrawAt(target, 0, 0);
}
