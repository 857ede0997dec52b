// The places in the registry where browsers look for what is registered for them.
#pragma once

#include <vector>

enum class RegistryHive { CurrentUser, LocalMachine };
// Shared: the key is the same in both views (HKCU\Software), or the system has one view.
enum class RegistryView { Shared, Bits32, Bits64 };

struct RegistryLocation {
  RegistryHive hive;
  RegistryView view;
  const char* label;  // as a technician finds it in regedit
};

// The user's key first, then the machine's, its 32-bit view before the 64-bit one (the
// order Chrome and Edge read them in). HKCU\Software is one key in both views.
std::vector<RegistryLocation> BrowserRegistryLocations(bool is64BitWindows);
