#include "tests/support/ImportHook.h"

#include <stdexcept>
#include <string>

#include "tools/simreader/ImportRedirection.h"

namespace TestSupport {

namespace {

FARPROC SystemFunction(const char* dll, const char* function) {
  const HMODULE library = GetModuleHandleA(dll);
  const FARPROC address = library != nullptr ? GetProcAddress(library, function) : nullptr;
  if (address == nullptr) throw std::runtime_error(std::string("no ") + dll + "!" + function + " in this process");
  return address;
}

// One more reference to a loaded module.
HMODULE Pin(HMODULE module) {
  HMODULE pinned = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(module), &pinned)) {
    throw std::runtime_error("the module to hook is not loaded");
  }
  return pinned;
}

}  // namespace

ImportHook::ImportHook(HMODULE module, const char* dll, const char* function, FARPROC replacement)
    : m_module(Pin(module)), m_original(SystemFunction(dll, function)), m_replacement(replacement) {
  const ImportRedirection redirection{m_original, m_replacement};
  if (RedirectImportsOf(m_module.Get(), &redirection, 1) == 0) {
    throw std::runtime_error(std::string("the module does not import ") + dll + "!" + function);
  }
}

ImportHook::~ImportHook() {
  const ImportRedirection undo{m_replacement, m_original};
  RedirectImportsOf(m_module.Get(), &undo, 1);
}

}  // namespace TestSupport
