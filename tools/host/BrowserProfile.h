// How a browser presented itself to a plug-in: the sizes and versions of the two function
// tables, the slots it left empty, and its habits around instance teardown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace nphost {

struct BrowserProfile {
  std::string name;
  // The browser's function table: its `size` (224 up to urlredirectresponse, 236 with
  // the async-surface entries), its `version`, and the byte offsets of entries left null.
  std::uint16_t hostTableSize = 224;
  std::uint16_t hostTableVersion = 29;
  std::vector<std::size_t> nullHostSlots;
  // The plug-in table, zero-filled with this `size` and `version` before NP_GetEntryPoints.
  std::uint16_t pluginTableSize = 84;
  std::uint16_t pluginTableVersion = 29;
  // Chromium: NPP_SetWindow with a null `window` just before NPP_Destroy.
  bool nullWindowBeforeDestroy = false;
  // Firefox in plugin-container: NPP_Destroy(npp, NULL) instead of a pointer to a null
  // saved-data pointer.
  bool nullSaveAtDestroy = false;
  // Late Firefox: after NPP_Destroy every object created for the instance is invalidated
  // and deallocated, whatever its reference count.
  bool deallocateObjectsAtDestroy = false;
  // Browsers set the result of NPN_Evaluate to void before anything else; a host
  // without this habit leaves it untouched when the script fails.
  bool evaluateVoidsResultFirst = true;
};

// Firefox 57-84 with its plugin-container: 236-byte table, version 29, seven null slots.
BrowserProfile LateFirefox();
// Chromium before NPAPI's removal: 224-byte table, version 23, plug-in table 80 bytes.
BrowserProfile Chromium();
// Looks a profile up by its name ("firefox", "chromium"); false if there is none.
bool FindProfile(const std::string& name, BrowserProfile& profile);

}  // namespace nphost
