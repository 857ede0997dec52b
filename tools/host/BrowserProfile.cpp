#include "tools/host/BrowserProfile.h"

#include <cstddef>

#include "plugin/npapi/npfunctions.h"

namespace nphost {

BrowserProfile LateFirefox() {
  BrowserProfile profile;
  profile.name = "firefox";
  profile.hostTableSize = kNetscapeFuncsWithAsyncSurface;
  profile.hostTableVersion = 29;
  profile.nullHostSlots = {
      offsetof(NPNetscapeFuncs, newstream),
      offsetof(NPNetscapeFuncs, write),
      offsetof(NPNetscapeFuncs, destroystream),
      offsetof(NPNetscapeFuncs, pluginthreadasynccall),
      offsetof(NPNetscapeFuncs, getauthenticationinfo),
      offsetof(NPNetscapeFuncs, handleevent),
      offsetof(NPNetscapeFuncs, unfocusinstance),
  };
  profile.pluginTableSize = sizeof(NPPluginFuncs);
  profile.pluginTableVersion = 29;
  profile.nullSaveAtDestroy = true;
  profile.deallocateObjectsAtDestroy = true;
  return profile;
}

BrowserProfile Chromium() {
  BrowserProfile profile;
  profile.name = "chromium";
  profile.hostTableSize = kNetscapeFuncsThroughRedirectResponse;
  profile.hostTableVersion = 23;
  profile.pluginTableSize = kPluginFuncsThroughSitesWithData;
  profile.pluginTableVersion = 23;
  profile.nullWindowBeforeDestroy = true;
  return profile;
}

bool FindProfile(const std::string& name, BrowserProfile& profile) {
  for (const BrowserProfile& known : {LateFirefox(), Chromium()}) {
    if (known.name == name) {
      profile = known;
      return true;
    }
  }
  return false;
}

}  // namespace nphost
