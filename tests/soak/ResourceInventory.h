// What the process's counts consist of: its kernel handles by value and kind, and its GDI
// objects by handle and type. Printed when a phase leaves more (or fewer) behind than it
// found, and used to tell lock objects from the rest.
#pragma once

#include <cstdint>
#include <map>
#include <string>

struct ResourceInventory {
  std::map<std::uintptr_t, std::string> handles;  // value -> "File", "Thread", "Event (auto reset)", ...
  std::map<std::uintptr_t, unsigned> gdiObjects;  // handle -> GetObjectType (OBJ_DC, OBJ_BITMAP, ...)
};

ResourceInventory TakeInventory();

// Objects that locks make for themselves the first time two threads contend for them, and
// keep as long as the lock lives: auto-reset events (the locks of the C++ run-time that
// is linked into every binary here) and semaphores (made by Wine for itself). The plug-in
// creates neither kind itself: its events are all manual-reset. (The simulator's one
// auto-reset event per device comes and goes with the device, whose pipes and thread are
// counted with the other handles.)
bool IsLockObject(const std::string& kind);
int CountLockObjects(const ResourceInventory& inventory);
// "+ handle 0x1a4 Event (manual reset); - GDI 0x4a0021 DC": what `after` has that
// `before` has not (+), and the other way round (-); only lock objects if asked.
std::string DescribeChange(const ResourceInventory& before, const ResourceInventory& after, bool locksOnly = false);
