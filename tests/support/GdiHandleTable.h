// The process's GDI objects one by one, as Wine keeps them: a table of 65,536 entries of 24
// bytes where Windows keeps its shared handle table (the PEB's GdiSharedHandleTable). An
// entry is live when its type byte is set; the handle is the entry's index with its
// uniqueness word above. Windows lays the table out differently: there the answers are
// empty, which callers can tell from TableTypeOf a fresh object being 0.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace TestSupport {

struct GdiTableEntry {
  std::uintptr_t handle;
  unsigned type;  // the table's type byte (see WineGdiTableLayout.h)
};

// Every live entry; empty when the table is not where Wine keeps it.
std::vector<GdiTableEntry> ReadGdiHandleTable();
// The type byte of the object's entry, 0 when it has none.
unsigned GdiTableTypeOf(HGDIOBJ object);

}  // namespace TestSupport
