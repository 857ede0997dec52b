#include "tools/bitmaps/LibPngHandle.h"

#include <cstdio>
#include <stdexcept>

namespace Bitmaps {

LibPngHandle::LibPngHandle(Direction direction) : m_direction(direction) {
  // Warnings go to libpng's default, standard error; faults come to OnError.
  m_png = direction == Direction::kRead
              ? png_create_read_struct(PNG_LIBPNG_VER_STRING, this, &LibPngHandle::OnError, nullptr)
              : png_create_write_struct(PNG_LIBPNG_VER_STRING, this, &LibPngHandle::OnError, nullptr);
  if (m_png != nullptr) m_info = png_create_info_struct(m_png);
  if (m_info == nullptr) {
    Release();
    throw std::runtime_error("libpng could not allocate its structures");
  }
}

LibPngHandle::~LibPngHandle() { Release(); }

void LibPngHandle::Release() {
  // Both accept null pointers and set them to null, so a second call does nothing.
  if (m_direction == Direction::kRead) {
    png_destroy_read_struct(&m_png, &m_info, nullptr);
  } else {
    png_destroy_write_struct(&m_png, &m_info);
  }
}

void LibPngHandle::OnError(png_structp png, png_const_charp message) {
  auto* self = static_cast<LibPngHandle*>(png_get_error_ptr(png));
  std::snprintf(self->m_error, sizeof self->m_error, "%s", message);
  png_longjmp(png, 1);
}

}  // namespace Bitmaps
