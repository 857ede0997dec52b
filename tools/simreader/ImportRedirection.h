// Redirecting a function that loaded modules import: their import address table entries
// that hold the function's address are pointed at another function. A call made
// through GetProcAddress is not covered.
#pragma once

#include <windows.h>

#include <cstddef>

struct ImportRedirection {
  FARPROC original;
  FARPROC replacement;
};

// Every module loaded now except `exempt`; entries redirected before are left alone, so
// calling it again covers only what was loaded since.
void RedirectImports(const ImportRedirection* redirections, std::size_t count, HMODULE exempt);

// Only `module`'s entries. Returns how many entries now hold a replacement, so that a
// caller can tell a module that does not import the function from one that was covered.
// Swapping `original` and `replacement` undoes it.
std::size_t RedirectImportsOf(HMODULE module, const ImportRedirection* redirections, std::size_t count);
