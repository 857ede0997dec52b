#include "tools/host/WindowPixels.h"

#include <cstdio>
#include <memory>

#include "win32/UniqueResource.h"

namespace nphost {
namespace {

// A DC from GetDC, given back with ReleaseDC.
class WindowDC {
 public:
  explicit WindowDC(HWND window) : m_window(window), m_dc(GetDC(window)) {}
  ~WindowDC() {
    if (m_dc != nullptr) ReleaseDC(m_window, m_dc);
  }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  HDC Get() const { return m_dc; }

 private:
  HWND m_window;
  HDC m_dc;
};

void PutLittleEndian(std::vector<unsigned char>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

}  // namespace

COLORREF Pixels::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return CLR_INVALID;
  const std::uint32_t pixel =
      rows[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
  return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

bool Pixels::SaveBmp(const std::string& path) const {
  const std::uint32_t rowBytes = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
  const std::uint32_t imageBytes = rowBytes * static_cast<std::uint32_t>(height);
  std::vector<unsigned char> file;
  file.push_back('B');
  file.push_back('M');
  PutLittleEndian(file, 54 + imageBytes, 4);
  PutLittleEndian(file, 0, 4);
  PutLittleEndian(file, 54, 4);
  PutLittleEndian(file, 40, 4);
  PutLittleEndian(file, static_cast<std::uint32_t>(width), 4);
  PutLittleEndian(file, static_cast<std::uint32_t>(height), 4);
  PutLittleEndian(file, 1, 2);
  PutLittleEndian(file, 24, 2);
  for (int i = 0; i < 6; ++i) PutLittleEndian(file, i == 1 ? imageBytes : 0, 4);
  for (int y = height - 1; y >= 0; --y) {
    const std::size_t before = file.size();
    for (int x = 0; x < width; ++x) {
      const COLORREF colour = At(x, y);
      file.push_back(GetBValue(colour));
      file.push_back(GetGValue(colour));
      file.push_back(GetRValue(colour));
    }
    while (file.size() - before < rowBytes) file.push_back(0);
  }
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(path.c_str(), "wb"), &std::fclose);
  return out && std::fwrite(file.data(), 1, file.size(), out.get()) == file.size();
}

Pixels CaptureClientArea(HWND window) {
  UpdateWindow(window);
  Pixels pixels;
  RECT client{};
  if (!GetClientRect(window, &client)) return pixels;
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  if (width <= 0 || height <= 0) return pixels;

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down, like `rows`
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  WindowDC source(window);
  kelmar::Win32::UniqueBitmap target(CreateDIBSection(source.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  kelmar::Win32::UniqueCreatedDC memory(CreateCompatibleDC(source.Get()));
  if (!target || !memory || bits == nullptr) return pixels;
  HGDIOBJ previous = SelectObject(memory.Get(), target.Get());
  const BOOL copied = BitBlt(memory.Get(), 0, 0, width, height, source.Get(), 0, 0, SRCCOPY);
  SelectObject(memory.Get(), previous);
  if (!copied) return pixels;
  GdiFlush();

  pixels.width = width;
  pixels.height = height;
  const auto* first = static_cast<const std::uint32_t*>(bits);
  pixels.rows.assign(first, first + static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (std::uint32_t& pixel : pixels.rows) pixel &= 0x00FFFFFF;
  return pixels;
}

Pixels BitmapResourcePixels(HMODULE module, int resourceId) {
  Pixels pixels;
  const kelmar::Win32::UniqueBitmap bitmap(
      static_cast<HBITMAP>(LoadImageA(module, MAKEINTRESOURCEA(resourceId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  if (!bitmap) return pixels;
  BITMAP info{};
  if (GetObjectA(bitmap.Get(), sizeof info, &info) == 0 || info.bmWidth <= 0 || info.bmHeight <= 0) return pixels;

  BITMAPINFO request{};
  request.bmiHeader.biSize = sizeof request.bmiHeader;
  request.bmiHeader.biWidth = info.bmWidth;
  request.bmiHeader.biHeight = -info.bmHeight;  // top row first
  request.bmiHeader.biPlanes = 1;
  request.bmiHeader.biBitCount = 32;
  request.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint32_t> rows(static_cast<std::size_t>(info.bmWidth) * static_cast<std::size_t>(info.bmHeight));
  const kelmar::Win32::UniqueCreatedDC dc(CreateCompatibleDC(nullptr));
  if (!dc || GetDIBits(dc.Get(), bitmap.Get(), 0, static_cast<UINT>(info.bmHeight), rows.data(), &request,
                       DIB_RGB_COLORS) != info.bmHeight) {
    return pixels;
  }
  for (std::uint32_t& pixel : rows) pixel &= 0x00FFFFFF;
  pixels.width = info.bmWidth;
  pixels.height = info.bmHeight;
  pixels.rows = std::move(rows);
  return pixels;
}

}  // namespace nphost
