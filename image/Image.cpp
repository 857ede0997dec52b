#include "image/Image.h"

#include <cstdlib>
#include <utility>

// GetObjectA fills the whole DIBSECTION only for a DIB section; a plain bitmap answers
// with the size of the leading BITMAP alone. The status bitmaps are loaded as DIB
// sections, so this is the usual answer.
#if !defined(_WIN64)
static_assert(sizeof(DIBSECTION) == 84, "32-bit DIBSECTION layout");
#endif

CImage::CImage() : m_width(0), m_height(0), m_memoryDC(nullptr), m_dcUseCount(0), m_previousObject(nullptr) {}

CImage::~CImage() {
  // An acquisition still outstanding would keep the bitmap selected, and a selected
  // bitmap cannot be deleted.
  GiveBackMemoryDC();
  ReleaseBitmap();
}

void CImage::LoadBitmapResource(HINSTANCE module, int resourceId) {
  ReleaseBitmap();
  // Width and height 0: the resource's own size. A DIB section keeps the resource's
  // pixels as they are instead of converting them to the screen's format.
  HANDLE loaded = LoadImageA(module, MAKEINTRESOURCEA(resourceId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
  m_bitmap.Reset(static_cast<HBITMAP>(loaded));
  ReadBitmapInfo();
}

void CImage::ReadBitmapInfo() {
  m_width = 0;
  m_height = 0;
  if (!m_bitmap) return;

  DIBSECTION section{};
  const int filled = GetObjectA(m_bitmap.Get(), sizeof section, &section);
  if (filled == sizeof section) {
    // A negative height marks a top-down DIB; the picture is as high either way.
    m_width = section.dsBmih.biWidth;
    m_height = static_cast<int>(std::llabs(section.dsBmih.biHeight));
  } else if (filled >= static_cast<int>(sizeof(BITMAP))) {
    m_width = section.dsBm.bmWidth;
    m_height = section.dsBm.bmHeight;
  }
}

BOOL CImage::DrawAt(HDC target, int x, int y) {
  if (target == nullptr || !m_bitmap) return FALSE;

  HDC source = AcquireDC();
  // Same size on both sides: copied pixel for pixel, replacing what was underneath.
  const BOOL copied =
      source != nullptr && StretchBlt(target, x, y, m_width, m_height, source, 0, 0, m_width, m_height, SRCCOPY);
  ReturnDC();
  return copied;
}

HDC CImage::AcquireDC() {
  ++m_dcUseCount;
  if (m_memoryDC == nullptr) {
    m_memoryDC = MemoryDCCache::Take();
    if (m_memoryDC != nullptr && m_bitmap) {
      m_previousObject = SelectObject(m_memoryDC, m_bitmap.Get());
    }
  }
  return m_memoryDC;
}

void CImage::ReturnDC() {
  // A ReturnDC without an AcquireDC has nothing to undo.
  if (m_dcUseCount == 0) return;
  if (--m_dcUseCount != 0) return;
  GiveBackMemoryDC();
}

void CImage::ReleaseBitmap() {
  if (!m_bitmap) return;
  GiveBackMemoryDC();
  m_width = 0;
  m_height = 0;
  m_bitmap.Reset();
}

void CImage::GiveBackMemoryDC() {
  m_dcUseCount = 0;
  if (m_memoryDC == nullptr) return;
  // The cached context must not keep this image's bitmap selected: the bitmap is
  // deleted with the image, and the next user selects its own.
  if (m_previousObject != nullptr) SelectObject(m_memoryDC, m_previousObject);
  m_previousObject = nullptr;
  MemoryDCCache::Give(std::exchange(m_memoryDC, nullptr));
}
