// Win32 carries pointers in integer-typed slots: a message's LPARAM, a window's LONG_PTR
// user data and procedure, the uintptr_t thread handle of _beginthreadex. Turning such a
// value back into the pointer it holds happens here, in one named place, not at each call.
#pragma once

#include <cstdint>
#include <type_traits>

namespace kelmar {
namespace Win32 {

template <typename Pointer, typename Integer>
Pointer PointerFromInteger(Integer value) {
  static_assert(std::is_pointer_v<Pointer> && std::is_integral_v<Integer>, "integer slot to pointer only");
  static_assert(sizeof(Integer) == sizeof(std::uintptr_t), "the slot must be pointer-sized");
  return reinterpret_cast<Pointer>(value);  // NOLINT(performance-no-int-to-ptr): the API stores a pointer here
}

}  // namespace Win32
}  // namespace kelmar
