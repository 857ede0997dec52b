// Freed C++ objects of this test program are overwritten before their memory goes back,
// so code that still reads a destroyed record reads 0xDD bytes instead of the old,
// plausible values, and a test can see it.
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Room in front of each block for its size, keeping the block aligned as malloc's own:
// 8 bytes on 32-bit Windows, 16 on 64-bit.
constexpr std::size_t kHeader = 2 * sizeof(void*);

void* Allocate(std::size_t size) {
  auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
  if (block == nullptr) return nullptr;
  std::memcpy(block, &size, sizeof size);
  return block + kHeader;
}

void Free(void* pointer) {
  if (pointer == nullptr) return;
  unsigned char* block = static_cast<unsigned char*>(pointer) - kHeader;
  std::size_t size = 0;
  std::memcpy(&size, block, sizeof size);
  std::memset(pointer, 0xDD, size);
  std::free(block);
}

void* AllocateOrThrow(std::size_t size) {
  void* pointer = Allocate(size);
  if (pointer == nullptr) throw std::bad_alloc();
  return pointer;
}

}  // namespace

void* operator new(std::size_t size) { return AllocateOrThrow(size); }
void* operator new[](std::size_t size) { return AllocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* pointer) noexcept { Free(pointer); }
void operator delete[](void* pointer) noexcept { Free(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { Free(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { Free(pointer); }
void operator delete(void* pointer, const std::nothrow_t&) noexcept { Free(pointer); }
void operator delete[](void* pointer, const std::nothrow_t&) noexcept { Free(pointer); }
