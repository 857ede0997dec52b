// A test's redirection of one imported function in one module, undone when it goes:
// the way to watch or fail the system calls a module makes (tools/simreader's
// ImportRedirection does the patching).
#pragma once

#include <windows.h>

#include <cstddef>

#include "win32/UniqueResource.h"

namespace TestSupport {

class ImportHook {
 public:
  // Points `module`'s import entries for `dll`'s `function` at `replacement`, and keeps
  // the module loaded until the hook is undone, whoever else frees it. Throws
  // std::runtime_error when the function cannot be found or `module` does not import it,
  // so that a test never passes because its hook was not in place.
  ImportHook(HMODULE module, const char* dll, const char* function, FARPROC replacement);
  ~ImportHook();
  ImportHook(const ImportHook&) = delete;
  ImportHook& operator=(const ImportHook&) = delete;

  // The system's function, for a replacement that calls through.
  FARPROC Original() const { return m_original; }

  // For a replacement of the same type as the system's function.
  template <typename Function>
  static FARPROC Address(Function* function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(function));
  }
  template <typename Function>
  Function* OriginalAs() const {
    return reinterpret_cast<Function*>(reinterpret_cast<void*>(m_original));
  }

 private:
  kelmar::Win32::UniqueModule m_module;
  FARPROC m_original;
  FARPROC m_replacement;
};

}  // namespace TestSupport
