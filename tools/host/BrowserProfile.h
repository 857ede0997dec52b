// How a browser presented itself to a plug-in: the sizes and versions of the two function
// tables, the slots it left empty, and its habits around instance teardown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "plugin/npapi/npfunctions.h"

namespace nphost {

struct BrowserProfile {
  std::string name;
  // The browser's function table: its `size` (through urlredirectresponse, or with the
  // async-surface entries; npfunctions.h has both for the build's pointer size), its
  // `version`, and the byte offsets of entries left null.
  std::uint16_t hostTableSize = kNetscapeFuncsThroughRedirectResponse;
  std::uint16_t hostTableVersion = 29;
  std::vector<std::size_t> nullHostSlots;
  // The plug-in table, zero-filled with this `size` and `version` before NP_GetEntryPoints.
  std::uint16_t pluginTableSize = sizeof(NPPluginFuncs);
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

// Firefox 57-84 with its plugin-container: table with the async-surface entries (236 bytes
// on 32-bit), version 29, seven null slots.
BrowserProfile LateFirefox();
// Chromium before NPAPI's removal: table through urlredirectresponse (224 bytes on 32-bit),
// version 23, plug-in table through getsiteswithdata (80 bytes on 32-bit).
BrowserProfile Chromium();
// Looks a profile up by its name ("firefox", "chromium"); false if there is none.
bool FindProfile(const std::string& name, BrowserProfile& profile);

}  // namespace nphost
