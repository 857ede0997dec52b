#include "tools/diag/RegistryLocations.h"

std::vector<RegistryLocation> BrowserRegistryLocations(bool is64BitWindows) {
  if (!is64BitWindows) {
    return {{RegistryHive::CurrentUser, RegistryView::Shared, "HKCU"},
            {RegistryHive::LocalMachine, RegistryView::Shared, "HKLM"}};
  }
  return {{RegistryHive::CurrentUser, RegistryView::Shared, "HKCU"},
          {RegistryHive::LocalMachine, RegistryView::Bits32, "HKLM (32-bit view)"},
          {RegistryHive::LocalMachine, RegistryView::Bits64, "HKLM (64-bit view)"}};
}
