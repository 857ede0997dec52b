#include "tools/demo/DisplayPath.h"

#include <windows.h>

#include <memory>
#include <stdexcept>
#include <vector>

namespace {

// Wine's kernel32 exports this; Windows has no such function. The result is allocated
// on the process heap.
using WineGetUnixFileName = char*(__cdecl*)(const wchar_t* dosPath);

struct ProcessHeapFree {
  void operator()(char* block) const { HeapFree(GetProcessHeap(), 0, block); }
};

std::string FullPath(const std::string& path) {
  const DWORD size = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::vector<char> buffer(size);
  const DWORD length = GetFullPathNameA(path.c_str(), size, buffer.data(), nullptr);
  if (length == 0 || length >= size) return path;
  return std::string(buffer.data(), length);
}

std::wstring Widened(const std::string& text) {
  const int size = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  if (size <= 0) return std::wstring();
  std::vector<wchar_t> buffer(static_cast<std::size_t>(size));
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, buffer.data(), size);
  return std::wstring(buffer.data());
}

}  // namespace

std::string DisplayPath(const std::string& path) {
  const std::string full = FullPath(path);
  const HMODULE kernel = GetModuleHandleA("kernel32.dll");
  const auto toUnix =
      reinterpret_cast<WineGetUnixFileName>(reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")));
  if (toUnix == nullptr) return full;
  const std::wstring wide = Widened(full);
  const std::unique_ptr<char, ProcessHeapFree> unixPath(toUnix(wide.c_str()));
  return unixPath ? std::string(unixPath.get()) : full;
}

std::string ProgramDirectory() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) throw std::runtime_error("GetModuleFileNameA failed");
    if (length < buffer.size()) {
      const std::string program(buffer.data(), length);
      return program.substr(0, program.find_last_of("\\/") + 1);
    }
    buffer.resize(buffer.size() * 2);
  }
}
