// One owner for one Win32 resource, released in one place. The "no resource" value
// belongs to the resource type (INVALID_HANDLE_VALUE for files, null for the rest),
// so a handle is never tested against the wrong sentinel.
#pragma once

#include <windows.h>

#include <utility>

namespace kelmar {
namespace Win32 {

template <typename Traits>
class UniqueResource {
 public:
  using Type = typename Traits::Type;

  UniqueResource() noexcept : m_value(Traits::Invalid()) {}
  explicit UniqueResource(Type value) noexcept : m_value(value) {}
  ~UniqueResource() { Reset(); }

  UniqueResource(UniqueResource&& other) noexcept : m_value(other.Release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;

  Type Get() const noexcept { return m_value; }
  bool IsValid() const noexcept { return m_value != Traits::Invalid(); }
  explicit operator bool() const noexcept { return IsValid(); }

  void Reset(Type value = Traits::Invalid()) noexcept {
    if (IsValid()) Traits::Close(m_value);
    m_value = value;
  }
  [[nodiscard]] Type Release() noexcept { return std::exchange(m_value, Traits::Invalid()); }

 private:
  Type m_value;
};

struct KernelHandleTraits {
  using Type = HANDLE;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type value) noexcept { CloseHandle(value); }
};

struct FileHandleTraits {
  using Type = HANDLE;
  static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Type value) noexcept { CloseHandle(value); }
};

// Device contexts made with CreateCompatibleDC or CreateDC (not those from GetDC).
struct CreatedDCTraits {
  using Type = HDC;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type value) noexcept { DeleteDC(value); }
};

// Bitmaps, brushes, pens, fonts and regions.
template <typename GdiObject>
struct GdiObjectTraits {
  using Type = GdiObject;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type value) noexcept { DeleteObject(value); }
};

struct ModuleTraits {
  using Type = HMODULE;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type value) noexcept { FreeLibrary(value); }
};

// Registrations from RegisterDeviceNotificationA.
struct DeviceNotificationTraits {
  using Type = HDEVNOTIFY;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type value) noexcept { UnregisterDeviceNotification(value); }
};

// Windows made with CreateWindowEx.
struct WindowTraits {
  using Type = HWND;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type value) noexcept { DestroyWindow(value); }
};

// Events, threads, mutexes and other handles whose failure value is null.
using UniqueHandle = UniqueResource<KernelHandleTraits>;
// Handles from CreateFile, whose failure value is INVALID_HANDLE_VALUE.
using UniqueFileHandle = UniqueResource<FileHandleTraits>;
using UniqueCreatedDC = UniqueResource<CreatedDCTraits>;
using UniqueBitmap = UniqueResource<GdiObjectTraits<HBITMAP>>;
using UniqueModule = UniqueResource<ModuleTraits>;
using UniqueDeviceNotification = UniqueResource<DeviceNotificationTraits>;
using UniqueWindow = UniqueResource<WindowTraits>;

}  // namespace Win32
}  // namespace kelmar
