// Owns libpng's png_struct and png_info for reading or writing one PNG file.
//
// libpng gives up on a fault by longjmp to png_jmpbuf(Png()). The function that calls
// setjmp must hold only trivially destructible objects, so that the jump skips no
// destructor; afterwards Error() says what libpng found.
#pragma once

#include <png.h>

#include <string>

namespace Bitmaps {

class LibPngHandle {
 public:
  enum class Direction { kRead, kWrite };

  // Throws std::runtime_error when libpng cannot allocate its structures.
  explicit LibPngHandle(Direction direction);
  ~LibPngHandle();
  LibPngHandle(const LibPngHandle&) = delete;
  LibPngHandle& operator=(const LibPngHandle&) = delete;

  png_structp Png() const { return m_png; }
  png_infop Info() const { return m_info; }
  std::string Error() const { return m_error; }

 private:
  void Release();
  static void OnError(png_structp png, png_const_charp message);

  Direction m_direction;
  png_structp m_png = nullptr;
  png_infop m_info = nullptr;
  // A fixed buffer, not a std::string: OnError fills it just before the longjmp.
  char m_error[256] = {};
};

}  // namespace Bitmaps
