// A bitmap resource of the library, drawn unscaled onto a device context through a
// small library-wide cache of memory device contexts.
#pragma once

#include <windows.h>

#include "win32/UniqueResource.h"

class CImage {
 public:
  CImage();
  virtual ~CImage();

  CImage(const CImage&) = delete;
  CImage& operator=(const CImage&) = delete;

  // Loads the bitmap as a DIB section at its own size. A bitmap that cannot be loaded
  // leaves the image empty; a bitmap held before is released first.
  void LoadBitmapResource(HINSTANCE module, int resourceId);
  // Takes width and height from the held bitmap (0 and 0 while empty).
  void ReadBitmapInfo();

  int GetWidth() const { return m_width; }
  int GetHeight() const { return m_height; }

  // Copies the whole bitmap with its top-left corner at (x, y). FALSE for a null target
  // or an empty image; neither touches the cache.
  BOOL DrawAt(HDC target, int x, int y);

  // The memory DC with the bitmap selected into it; calls nest, and each one is undone
  // by one ReturnDC. Null if no device context could be made.
  HDC AcquireDC();
  void ReturnDC();

  void ReleaseBitmap();

 private:
  void GiveBackMemoryDC();

  kelmar::Win32::UniqueBitmap m_bitmap;
  int m_width;
  int m_height;
  HDC m_memoryDC;
  int m_dcUseCount;
  HGDIOBJ m_previousObject;
};

// The library-wide cache of idle memory device contexts: four slots, each only ever
// touched by one atomic exchange, so images on different threads share it without a lock.
namespace MemoryDCCache {
// A cached context, or a new one compatible with the screen (null if that fails).
HDC Take();
// Puts `dc` into slot 0, moving earlier occupants on; the one pushed out of slot 3 is
// deleted. A null `dc` changes nothing.
void Give(HDC dc);
// Deletes every cached context. Runs by itself when the library unloads.
void Clear();
}  // namespace MemoryDCCache
