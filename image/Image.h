// A bitmap resource of the library, drawn unscaled onto a device context through a
// small library-wide cache of memory device contexts.
#pragma once

#include <windows.h>

class CImage {
 public:
  CImage();
  virtual ~CImage();

  CImage(const CImage&) = delete;
  CImage& operator=(const CImage&) = delete;

  // The image must be empty. A bitmap that cannot be loaded leaves it empty.
  void LoadBitmapResource(HINSTANCE module, int resourceId);
  void ReadBitmapInfo();

  int GetWidth() const { return m_width; }
  int GetHeight() const { return m_height; }

  // Copies the whole bitmap with its top-left corner at (x, y); FALSE for a null target.
  BOOL DrawAt(HDC target, int x, int y);

  HDC AcquireDC();
  void ReturnDC();

  void ReleaseBitmap();

 private:
  HBITMAP m_bitmap;
  int m_width;
  int m_height;
  HDC m_memoryDC;
  int m_dcUseCount;
  HGDIOBJ m_previousObject;
};

// The library-wide cache of idle memory device contexts (four slots, atomic exchanges).
namespace MemoryDCCache {
// A cached context, or a new one compatible with the screen.
HDC Take();
// Puts `dc` into slot 0, moving earlier occupants on; the one pushed out of slot 3 is
// deleted.
void Give(HDC dc);
// Deletes every cached context (when the library unloads).
void Clear();
}  // namespace MemoryDCCache
